#include "Pupnik/MenuBarController.hpp"

#include "Pupnik/MenuBarIcon.hpp"
#include "Pupnik/QuotaBarImage.hpp"

#include "PawletKit/Date.hpp"
#include "app-core/LanguageMenu.hpp"
#include "app-core/PetSettings.hpp"
#include "app-core/StatusText.hpp"
#include "platform/Log.hpp"

#include <QGuiApplication>
#include <QKeySequence>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <cmath>

namespace Pupnik {

using PupnikCore::LoginItemStatus;
using PupnikCore::MenuModel;

namespace {

QString qt(std::string const& text) { return QString::fromStdString(text); }
QString qt(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// Qt's menus have no mixed checkmark: a dash in the check column stands in for it.
QIcon mixedMark()
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(2);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(MenuBarController::panelTextColour());
    painter.drawRoundedRect(QRectF(4, 7, 8, 2), 1, 1);
    painter.end();
    return QIcon(QPixmap::fromImage(image));
}

}

MenuBarController::MenuBarController(
    std::optional<QImage> iconSprite, IconDrawing drawIcon, Platform::Clock const& clock, Platform::TimeZone const& zone, Services services)
    : m_iconSprite(std::move(iconSprite))
    , m_drawIcon(std::move(drawIcon))
    , m_localizer(services.localizer ? *services.localizer : PupnikCore::Localizer::shared())
    , m_clock(clock)
    , m_zone(zone)
    , m_loginStatus(services.loginStatus)
    , m_menu(std::make_unique<QMenu>())
{
    m_rows.statusLine = newRow();
    m_rows.quotaLine = newRow();
    for (size_t i = 0; i < m_rows.quotaBars.size(); ++i) {
        auto* row = new QWidgetAction(this);
        m_quotaBarWidgets[i] = new QuotaBarWidget();
        row->setDefaultWidget(m_quotaBarWidgets[i]);
        m_rows.quotaBars[i] = row;
    }
    m_rows.show = newRow();
    m_rows.pin = newRow();
    m_rows.top = newRow();
    m_rows.discreet = newRow();
    m_rows.sounds = newRow();
    m_rows.soundsToggle = newRow();
    m_rows.size = newRow();
    m_rows.language = newRow();
    m_rows.skin = newRow();
    m_rows.demo = newRow();
    m_rows.login = newRow();
    m_rows.sources = newRow();
    m_rows.connect = newRow();
    m_rows.disconnect = newRow();
    m_rows.updateHooks = newRow();
    m_rows.codex = newRow();
    m_rows.process = newRow();
    m_rows.sync = newRow();
    m_rows.syncToggle = newRow();
    m_rows.syncStatus = newRow();
    for (QAction* row : { m_rows.show, m_rows.pin, m_rows.top, m_rows.discreet, m_rows.soundsToggle, m_rows.login, m_rows.connect,
             m_rows.codex, m_rows.process, m_rows.syncToggle })
        row->setCheckable(true);

    bind(m_rows.show, [](MenuBarActions& actions) { actions.toggleVisible(); });
    bind(m_rows.pin, [](MenuBarActions& actions) { actions.togglePinned(); });
    bind(m_rows.top, [](MenuBarActions& actions) { actions.toggleTop(); });
    bind(m_rows.discreet, [](MenuBarActions& actions) { actions.toggleDiscreet(); });
    bind(m_rows.soundsToggle, [](MenuBarActions& actions) { actions.toggleSounds(); });
    bind(m_rows.login, [](MenuBarActions& actions) { actions.toggleLogin(); });
    bind(m_rows.connect, [](MenuBarActions& actions) { actions.connect(); });
    bind(m_rows.disconnect, [](MenuBarActions& actions) { actions.disconnect(); });
    bind(m_rows.updateHooks, [](MenuBarActions& actions) { actions.updateHooks(); });
    bind(m_rows.codex, [](MenuBarActions& actions) { actions.toggleCodex(); });
    bind(m_rows.process, [](MenuBarActions& actions) { actions.toggleProcess(); });
    bind(m_rows.syncToggle, [](MenuBarActions& actions) { actions.toggleSync(); });

    // A panel started after us (a session that autostarts Pupnik first) still gets the icon: Qt
    // embeds a shown icon into whichever tray appears later.
    if (services.trayAvailable.value_or(true)) {
        m_statusItem = new QSystemTrayIcon(this);
        updateTooltip();
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            Platform::Log::line("menu: the desktop offers no system tray yet; the icon shows once one appears, the menu opens from the pet's right click");
    }
    setBadge(false);
    rebuildMenu();
    QObject::connect(m_menu.get(), &QMenu::aboutToShow, this, &MenuBarController::menuAboutToShow);
    if (m_statusItem) {
        m_statusItem->setContextMenu(m_menu.get());
        // A tray click opens the menu as the right click does, the way a menu-bar item drops its menu.
        QObject::connect(m_statusItem, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                m_menu->popup(QCursor::pos());
        });
        m_statusItem->show();
    }
}

MenuBarController::~MenuBarController()
{
    // Rows must not outlive the menus that show them in any order of destruction.
    if (m_statusItem)
        m_statusItem->setContextMenu(nullptr);
    for (QAction* row : persistentItems())
        for (QObject* holder : row->associatedObjects())
            if (auto* widget = qobject_cast<QWidget*>(holder))
                widget->removeAction(row);
    m_submenus.clear();
    m_menu.reset();
}

std::vector<QAction*> MenuBarController::persistentItems() const
{
    std::vector<QAction*> rows { m_rows.statusLine, m_rows.quotaLine };
    rows.insert(rows.end(), m_rows.quotaBars.begin(), m_rows.quotaBars.end());
    rows.insert(rows.end(),
        { m_rows.show, m_rows.pin, m_rows.top, m_rows.discreet, m_rows.sounds, m_rows.soundsToggle, m_rows.size, m_rows.language, m_rows.skin,
            m_rows.demo, m_rows.login, m_rows.sources, m_rows.connect, m_rows.disconnect, m_rows.updateHooks, m_rows.codex, m_rows.process,
            m_rows.sync, m_rows.syncToggle, m_rows.syncStatus });
    return rows;
}

QColor MenuBarController::panelTextColour()
{
    // Qt cannot see the panel that hosts the icon; the desktop's palette is the nearest it knows.
    return QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText);
}

QAction* MenuBarController::newRow(QString const& title)
{
    auto* row = new QAction(title, this);
    return row;
}

QAction* MenuBarController::addSeparator(QMenu* menu) { return menu->addSeparator(); }

QMenu* MenuBarController::newSubmenu(QAction* parentRow)
{
    auto submenu = std::make_unique<QMenu>();
    submenu->setToolTipsVisible(true);
    submenu->setTitle(parentRow->text());
    parentRow->setMenu(submenu.get());
    parentRow->setEnabled(true);
    m_menu->addAction(parentRow);
    m_submenus.push_back(std::move(submenu));
    return m_submenus.back().get();
}

void MenuBarController::bind(QAction* row, std::function<void(MenuBarActions&)> call)
{
    QObject::connect(row, &QAction::triggered, this, [this, call = std::move(call)] {
        if (auto const actions = m_actions.lock())
            call(*actions);
    });
}

void MenuBarController::addPerBuildRow(
    QMenu* menu, QString const& title, QVariant const& value, std::function<void(MenuBarActions&, QVariant const&)> call)
{
    auto* row = new QAction(title, menu);
    row->setData(value);
    menu->addAction(row);
    QObject::connect(row, &QAction::triggered, this, [this, row, call = std::move(call)] {
        if (auto const actions = m_actions.lock())
            call(*actions, row->data());
    });
}

QString MenuBarController::text(char const* key) const { return qt(m_localizer.string(key)); }

void MenuBarController::rebuildMenu()
{
    // Persistent rows leave the previous build's menus; everything else of that build goes with them.
    for (QAction* row : persistentItems()) {
        for (QObject* holder : row->associatedObjects())
            if (auto* widget = qobject_cast<QWidget*>(holder))
                widget->removeAction(row);
        row->setMenu(nullptr);
    }
    m_menu->clear();
    // A row of one of these menus may be what asked for the rebuild (a language chosen): they go
    // once its signal has returned, not under it.
    for (auto& submenu : m_submenus)
        submenu.release()->deleteLater();
    m_submenus.clear();
    m_menu->setToolTipsVisible(true);

    m_rows.statusLine->setEnabled(false);
    m_rows.quotaLine->setEnabled(false);
    m_menu->addAction(m_rows.statusLine);
    m_menu->addAction(m_rows.quotaLine);
    for (QWidgetAction* row : m_rows.quotaBars) {
        row->setEnabled(false);
        row->setVisible(false);
        m_menu->addAction(row);
    }

    addSeparator(m_menu.get());
    m_rows.show->setText(text("menu.show"));
    m_rows.pin->setText(text("menu.pin"));
    m_rows.top->setText(text("menu.alwaysOnTop"));
    m_rows.discreet->setText(text("menu.discreet"));
    m_rows.discreet->setToolTip(text("menu.discreet.tip"));
    for (QAction* row : { m_rows.show, m_rows.pin, m_rows.top, m_rows.discreet })
        m_menu->addAction(row);
    buildSounds();
    buildSizes();
    buildLanguages();
    buildSkins();
    buildDemo();
    addSeparator(m_menu.get());
    m_rows.login->setText(text("menu.launchAtLogin"));
    m_menu->addAction(m_rows.login);
    buildSources();
    buildSync();
    addSeparator(m_menu.get());
    auto addFinal = [this](char const* key, std::function<void(MenuBarActions&)> call) {
        auto* row = new QAction(text(key), m_menu.get());
        m_menu->addAction(row);
        QObject::connect(row, &QAction::triggered, this, [this, call = std::move(call)] {
            if (auto const actions = m_actions.lock())
                call(*actions);
        });
        return row;
    };
    addFinal("menu.feedback", [](MenuBarActions& actions) { actions.feedback(); });
    addFinal("menu.about", [](MenuBarActions& actions) { actions.about(); });
    addFinal("menu.quit", [](MenuBarActions& actions) { actions.quit(); })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void MenuBarController::buildSounds()
{
    m_rows.sounds->setText(text("menu.sounds"));
    QMenu* submenu = newSubmenu(m_rows.sounds);
    m_rows.soundsToggle->setText(text("menu.sounds.enable"));
    submenu->addAction(m_rows.soundsToggle);
    addSeparator(submenu);
    addPerBuildRow(submenu, text("menu.sounds.preview"), {}, [](MenuBarActions& actions, QVariant const&) { actions.previewSound(); });
}

void MenuBarController::buildSizes()
{
    m_rows.size->setText(text("menu.size"));
    QMenu* submenu = newSubmenu(m_rows.size);
    constexpr std::array<char const*, 3> keys { "size.small", "size.medium", "size.large" };
    auto const& presets = PupnikCore::PetSettings::heightPresets;
    for (size_t i = 0; i < std::min(keys.size(), presets.size()); ++i) {
        QString const title = text(keys[i]) + QStringLiteral("  ") + QString::number(std::llround(presets[i])) + QStringLiteral(" pt");
        addPerBuildRow(submenu, title, QVariant(presets[i]), [](MenuBarActions& actions, QVariant const& value) {
            if (value.typeId() == QMetaType::Double)
                actions.setHeight(value.toDouble());
        });
        submenu->actions().back()->setCheckable(true);
    }
}

void MenuBarController::buildLanguages()
{
    m_rows.language->setText(qt(PupnikCore::LanguageMenu::title(m_localizer.language(), m_localizer)));
    QMenu* submenu = newSubmenu(m_rows.language);
    auto const items = PupnikCore::LanguageMenu::items(m_localizer.choice(), m_localizer);
    bool first = true;
    for (auto const& item : items) {
        QVariant const code = item.language ? QVariant(qt(item.language->rawValue())) : QVariant();
        addPerBuildRow(submenu, qt(item.title), code, [](MenuBarActions& actions, QVariant const& value) {
            std::optional<PupnikCore::Language> language;
            if (value.typeId() == QMetaType::QString)
                language = PupnikCore::Language::fromRawValue(value.toString().toStdString());
            actions.setLanguage(language);
        });
        QAction* row = submenu->actions().back();
        row->setCheckable(true);
        row->setChecked(item.checked);
        if (first)
            addSeparator(submenu);
        first = false;
    }
}

void MenuBarController::buildSkins()
{
    m_rows.skin->setText(text("menu.skin"));
    QMenu* submenu = newSubmenu(m_rows.skin);
    for (PupnikCore::Skin skin : PupnikCore::allSkins) {
        addPerBuildRow(submenu, qt(m_localizer.string(PupnikCore::localizationKey(skin))), QVariant(qt(PupnikCore::rawValue(skin))),
            [](MenuBarActions& actions, QVariant const& value) {
                if (value.typeId() != QMetaType::QString)
                    return;
                if (auto const skin = PupnikCore::skinFromRawValue(value.toString().toStdString()))
                    actions.setSkin(*skin);
            });
        submenu->actions().back()->setCheckable(true);
    }
}

void MenuBarController::buildDemo()
{
    m_rows.demo->setText(text("menu.demo"));
    QMenu* submenu = newSubmenu(m_rows.demo);
    auto play = [](MenuBarActions& actions, QVariant const& value) {
        std::optional<PupnikCore::Clip> clip;
        if (value.typeId() == QMetaType::QString)
            clip = PupnikCore::clipFromRawValue(value.toString().toStdString());
        actions.demo(clip);
    };
    for (PupnikCore::Clip clip : PupnikCore::allClips) {
        addPerBuildRow(submenu, qt(m_localizer.string(PupnikCore::localizationKey(clip))), QVariant(qt(PupnikCore::rawValue(clip))), play);
        submenu->actions().back()->setCheckable(true);
    }
    addSeparator(submenu);
    addPerBuildRow(submenu, text("menu.demo.stop"), {}, play);
}

void MenuBarController::buildSources()
{
    m_rows.sources->setText(text("menu.sources"));
    QMenu* submenu = newSubmenu(m_rows.sources);
    // Qt's menus have no indentation levels; leading blanks set the dependent rows in.
    QString const indent = QStringLiteral("    ");
    m_rows.disconnect->setText(indent + text("menu.disconnect"));
    m_rows.updateHooks->setText(indent + text("menu.updateHooks"));
    m_rows.updateHooks->setToolTip(text("menu.updateHooks.tip"));
    submenu->addAction(m_rows.connect);
    submenu->addAction(m_rows.disconnect);
    submenu->addAction(m_rows.updateHooks);
    addSeparator(submenu);
    m_rows.codex->setText(text("menu.source.codex"));
    m_rows.process->setText(text("menu.source.process"));
    submenu->addAction(m_rows.codex);
    submenu->addAction(m_rows.process);
}

void MenuBarController::buildSync()
{
    m_rows.sync->setText(text("menu.sync"));
    QMenu* submenu = newSubmenu(m_rows.sync);
    m_rows.syncToggle->setText(text("menu.sync.toggle"));
    submenu->addAction(m_rows.syncToggle);
    addSeparator(submenu);
    m_rows.syncStatus->setEnabled(false);
    submenu->addAction(m_rows.syncStatus);
}

void MenuBarController::update(MenuModel const& model)
{
    auto const& settings = model.settings;
    PawletKit::Date const now = PawletKit::Date::fromSeconds(m_clock.now());

    std::optional<std::string_view> waiting;
    if (model.waitingAppName)
        waiting = *model.waitingAppName;
    auto const lines = PupnikCore::StatusText::tooltipLines(
        model.state, model.connection, model.demoClip.has_value(), settings.discreet, now, m_localizer, m_zone, waiting);
    m_rows.statusLine->setText(lines.empty() ? QString() : qt(lines[0]));
    m_rows.quotaLine->setText(lines.size() > 1 ? qt(lines[1]) : QString());
    m_rows.quotaLine->setVisible(lines.size() > 1);
    renderQuotaBars(PupnikCore::StatusText::quotaBars(model.state, settings.discreet, m_localizer));

    m_rows.show->setChecked(settings.visible);
    m_rows.pin->setChecked(settings.pinned);
    m_rows.top->setChecked(settings.alwaysOnTop);
    m_rows.discreet->setChecked(settings.discreet);
    m_rows.soundsToggle->setChecked(settings.sounds);

    if (QMenu* sizes = m_rows.size->menu())
        for (QAction* row : sizes->actions()) {
            QVariant const value = row->data();
            row->setChecked(value.typeId() == QMetaType::Double && value.toDouble() == settings.height);
        }

    m_rows.language->setText(qt(PupnikCore::LanguageMenu::title(m_localizer.language(), m_localizer)));
    if (QMenu* languages = m_rows.language->menu()) {
        auto const choice = m_localizer.choice();
        QString const chosen = choice ? qt(choice->rawValue()) : QString();
        for (QAction* row : languages->actions()) {
            if (row->isSeparator())
                continue;
            QVariant const value = row->data();
            QString const code = value.typeId() == QMetaType::QString ? value.toString() : QString();
            row->setChecked(code.isNull() ? !choice.has_value() : (choice.has_value() && code == chosen));
        }
    }

    if (QMenu* skins = m_rows.skin->menu())
        for (QAction* row : skins->actions())
            row->setChecked(row->data().toString() == qt(PupnikCore::rawValue(settings.skin)));

    if (QMenu* demo = m_rows.demo->menu())
        for (QAction* row : demo->actions()) {
            QVariant const value = row->data();
            bool const isClip = value.typeId() == QMetaType::QString && PupnikCore::clipFromRawValue(value.toString().toStdString());
            if (isClip) {
                row->setChecked(model.demoClip && value.toString() == qt(PupnikCore::rawValue(*model.demoClip)));
                row->setVisible(true);
            } else {
                row->setVisible(model.demoClip.has_value());
            }
        }

    updateLoginItem();

    m_rows.connect->setText(text(model.installed ? "menu.connected" : "menu.connect"));
    m_rows.connect->setEnabled(!model.installed);
    m_rows.connect->setChecked(model.installed);
    m_rows.disconnect->setVisible(model.installed);
    m_rows.updateHooks->setVisible(model.installed && model.needsHookUpgrade);

    if (model.codexAvailable) {
        m_rows.codex->setText(text("menu.source.codex"));
        m_rows.codex->setEnabled(true);
        m_rows.codex->setChecked(settings.sourceCodex);
    } else {
        m_rows.codex->setText(text("menu.source.codex.unavailable"));
        m_rows.codex->setEnabled(false);
        m_rows.codex->setChecked(false);
    }
    m_rows.process->setChecked(settings.sourceProcess);
    m_rows.syncToggle->setChecked(settings.syncToDevices);
    m_rows.syncStatus->setText(qt(PupnikCore::SyncStatus::menuText(model.syncStatus, settings.syncToDevices, now, m_localizer, m_zone)));
}

void MenuBarController::renderQuotaBars(std::vector<PupnikCore::StatusText::QuotaBar> const& bars)
{
    QColor const textColour = m_menu->palette().color(QPalette::Active, QPalette::WindowText);
    int const scale = std::max(1, int(std::ceil(m_menu->devicePixelRatioF())));
    for (size_t i = 0; i < m_rows.quotaBars.size(); ++i) {
        QWidgetAction* row = m_rows.quotaBars[i];
        QuotaBarWidget* widget = m_quotaBarWidgets[i];
        if (i >= bars.size()) {
            row->setVisible(false);
            row->setText(QString());
            row->setIcon(QIcon());
            widget->clear();
            continue;
        }
        auto const& bar = bars[i];
        QImage const image = QuotaBarImage::draw(bar.source, bar.fraction, textColour, scale);
        widget->display(image, qt(bar.text));
        // Menus exported to a desktop's own tray host show the text and image rather than the widget.
        row->setText(qt(bar.text));
        row->setIcon(QIcon(QPixmap::fromImage(image)));
        row->setVisible(true);
    }
}

void MenuBarController::updateLoginItem()
{
    QAction* row = m_rows.login;
    LoginItemStatus const status = m_loginStatus ? m_loginStatus() : LoginItemStatus::unavailable;
    row->setIcon(QIcon());
    row->setText(text("menu.launchAtLogin"));
    switch (status) {
    case LoginItemStatus::unavailable:
        row->setChecked(false);
        row->setEnabled(false);
        return;
    case LoginItemStatus::requiresApproval:
        row->setEnabled(true);
        row->setText(text("menu.launchAtLogin.approval"));
        row->setChecked(false);
        row->setIcon(mixedMark());
        return;
    case LoginItemStatus::enabled:
        row->setEnabled(true);
        row->setChecked(true);
        return;
    case LoginItemStatus::notRegistered:
        break;
    }
    row->setEnabled(true);
    row->setChecked(false);
}

void MenuBarController::setBadge(bool badge)
{
    if (m_badgeShown == badge)
        return;
    m_badgeShown = badge;
    if (!m_statusItem || !m_drawIcon)
        return;
    QColor const colour = panelTextColour();
    QIcon icon;
    for (int scale : { 1, 2 }) {
        QImage image = MenuBarIcon::tinted(m_drawIcon(m_iconSprite, badge, scale), colour);
        image.setDevicePixelRatio(scale);
        icon.addPixmap(QPixmap::fromImage(image));
    }
    m_statusItem->setIcon(icon);
}

void MenuBarController::updateTooltip()
{
    if (m_statusItem)
        m_statusItem->setToolTip(text("app.name"));
}

void MenuBarController::menuAboutToShow()
{
    if (auto const actions = m_actions.lock())
        update(actions->makeMenuModel());
}

}
