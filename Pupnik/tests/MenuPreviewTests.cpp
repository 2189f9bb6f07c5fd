#include "Pupnik/MenuBarController.hpp"
#include "app-core/Localizer.hpp"
#include "app-core/PreferredLanguages.hpp"
#include "platform/SystemTimeZone.hpp"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Pupnik;

namespace {

class PreviewActions final : public MenuBarActions {
public:
    PupnikCore::MenuModel model;
    PupnikCore::MenuModel makeMenuModel() override { return model; }
    void toggleVisible() override { }
    void togglePinned() override { }
    void toggleTop() override { }
    void toggleDiscreet() override { }
    void toggleSounds() override { }
    void previewSound() override { }
    void setHeight(double) override { }
    void setSkin(PupnikCore::Skin) override { }
    void setLanguage(std::optional<PupnikCore::Language>) override { }
    void demo(std::optional<PupnikCore::Clip>) override { }
    void toggleLogin() override { }
    void connect() override { }
    void disconnect() override { }
    void updateHooks() override { }
    void toggleCodex() override { }
    void toggleProcess() override { }
    void toggleSync() override { }
    void feedback() override { }
    void about() override { }
    void quit() override { }
};

PawletKit::QuotaInfo usage(double fiveHour, double sevenDay)
{
    PawletKit::QuotaInfo quota;
    quota.fiveHourUsed = fiveHour;
    quota.sevenDayUsed = sevenDay;
    return quota;
}

// The sprite as a black silhouette, placed as the tray icon places it.
QImage silhouette(std::optional<QImage> const& sprite, bool badge, int scale)
{
    QImage image(20 * scale, 18 * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    if (sprite && !sprite->isNull()) {
        double const aspect = double(sprite->width()) / std::max(sprite->height(), 1);
        double width = 20, height = 20 / aspect;
        if (height > 17) {
            height = 17;
            width = aspect * 17;
        }
        QRectF const place((20 - width) / 2, 18 - 1 - height, width, height);
        painter.drawImage(place, *sprite);
        painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        painter.fillRect(place, Qt::black);
    }
    if (badge) {
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawEllipse(QRectF(13.5, 11.5, 6, 6));
    }
    painter.end();
    return image;
}

}

// Shows the tray icon and opens the menu on a real display for a person to look at; run by hand
// under a window manager with a tray. PUPNIK_PREVIEW_LANG picks the language, PUPNIK_PREVIEW_SHOT
// names a PNG of the whole screen to write, PUPNIK_PREVIEW_SUBMENU (sources, sync,
// language or demo) opens that submenu too.
TEST(MenuPreview, DISABLED_ShowsTheTrayIconAndTheOpenMenu)
{
    auto const language = PupnikCore::Language::fromCode(qEnvironmentVariable("PUPNIK_PREVIEW_LANG", "en").toStdString());
    PupnikCore::Localizer::shared().setChoice(language, PupnikCore::PreferredLanguages::ofSystem());

    auto actions = std::make_shared<PreviewActions>();
    auto& model = actions->model;
    model.state.gait = PawletKit::Gait::walk;
    model.state.busySessions = 2;
    model.state.knownSessions = 2;
    model.state.sourceCounts = { { "claude", 1 }, { "codex", 1 } };
    model.state.quota = usage(63, 20);
    model.state.quotaBySource = { { "claude", usage(63, 20) }, { "codex", usage(0.5, 4) }, { "process", usage(100, 100) } };
    model.connection = PupnikCore::ConnectionState::connected;
    model.settings.discreet = false;
    model.settings.sounds = true;
    model.settings.skin = PupnikCore::Skin::geo;
    model.installed = true;
    model.needsHookUpgrade = true;
    model.codexAvailable = true;
    model.syncStatus = PupnikCore::SyncStatus::ready(PawletKit::Date::fromSeconds(PawletKit::Date::now().secondsSince1970 - 120));

    QImage const sprite(QString(PUPNIK_SHARE_DIR) + "/Sprites/geo/idle/00.png");
    MenuBarController::Services services;
    services.loginStatus = [] { return PupnikCore::LoginItemStatus::requiresApproval; };
    Platform::SystemClock clock;
    Platform::SystemTimeZone zone;
    MenuBarController controller(sprite, silhouette, clock, zone, services);
    controller.setActions(actions);
    controller.setBadge(true);

    QString const which = qEnvironmentVariable("PUPNIK_PREVIEW_SUBMENU");
    auto const& rows = controller.rows();
    QAction* const submenu = which == "sources" ? rows.sources
        : which == "sync"                       ? rows.sync
        : which == "language"                   ? rows.language
        : which == "demo"                       ? rows.demo
                                                : nullptr;
    QTimer::singleShot(1500, [&] {
        QRect const screen = QGuiApplication::primaryScreen()->geometry();
        controller.menu()->popup(QPoint(screen.right() - 40, screen.bottom() - 40));
        if (submenu)
            QTimer::singleShot(500, [&] {
                controller.menu()->setActiveAction(submenu);
                submenu->menu()->popup(controller.menu()->actionGeometry(submenu).topLeft() + controller.menu()->pos()
                    + QPoint(controller.menu()->width() - 4, 0));
            });
    });
    QTimer::singleShot(3500, [&] {
        if (qEnvironmentVariableIsSet("PUPNIK_PREVIEW_SHOT"))
            QGuiApplication::primaryScreen()->grabWindow(0).save(qEnvironmentVariable("PUPNIK_PREVIEW_SHOT"), "PNG");
        controller.menu()->hide();
        QApplication::quit();
    });
    QApplication::exec();
    EXPECT_NE(controller.statusItem(), nullptr);
}
