#pragma once

#include "Pupnik/MenuBarActions.hpp"
#include "Pupnik/QuotaBarWidget.hpp"
#include "app-core/Localizer.hpp"
#include "app-core/LoginItemStatus.hpp"
#include "app-core/MenuModel.hpp"
#include "app-core/QuotaBar.hpp"
#include "platform/Clock.hpp"
#include "platform/TimeZone.hpp"

#include <QAction>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidgetAction>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Pupnik {

// The tray icon and its menu. It keeps no application state: before each opening it asks its
// delegate for a fresh MenuModel and shows it; each choice becomes one call on the delegate,
// which it holds weakly. The icon is put up even where the desktop has no tray yet: it appears
// when a tray does. The menu also opens from the pet's right click. Main thread only.
class MenuBarController final : public QObject {
    Q_OBJECT

public:
    // The icon's black silhouette of the sprite, 20 × 18 points at a whole scale, badge or not.
    using IconDrawing = std::function<QImage(std::optional<QImage> const& sprite, bool badge, int scale)>;

    struct Services {
        // The shared localiser when absent.
        PupnikCore::Localizer* localizer { nullptr };
        // How launch at login stands; unavailable when absent.
        std::function<PupnikCore::LoginItemStatus()> loginStatus;
        // Whether to put an icon into the tray; always when absent.
        std::optional<bool> trayAvailable;
    };

    // The rows that live as long as the controller; builds move them into fresh submenus.
    struct Rows {
        QAction* statusLine;
        QAction* quotaLine;
        std::array<QWidgetAction*, 3> quotaBars;
        QAction* show;
        QAction* pin;
        QAction* top;
        QAction* discreet;
        QAction* sounds;
        QAction* soundsToggle;
        QAction* size;
        QAction* language;
        QAction* skin;
        QAction* demo;
        QAction* login;
        QAction* sources;
        QAction* connect;
        QAction* disconnect;
        QAction* updateHooks;
        QAction* codex;
        QAction* process;
        QAction* sync;
        QAction* syncToggle;
        QAction* syncStatus;
    };

    // The clock and zone the status and sync rows are read with; both must outlive the controller.
    MenuBarController(
        std::optional<QImage> iconSprite, IconDrawing drawIcon, Platform::Clock const& clock, Platform::TimeZone const& zone, Services services);
    ~MenuBarController() override;
    MenuBarController(MenuBarController const&) = delete;
    MenuBarController& operator=(MenuBarController const&) = delete;

    // Absent only when the services asked for no icon.
    QSystemTrayIcon* statusItem() const { return m_statusItem; }
    QMenu* menu() const { return m_menu.get(); }
    void setActions(std::weak_ptr<MenuBarActions> actions) { m_actions = std::move(actions); }

    // Empties the menu and builds every row again in the localiser's current language.
    void rebuildMenu();
    // Titles, checkmarks, enabled flags and visibility from the model.
    void update(PupnikCore::MenuModel const& model);
    void renderQuotaBars(std::vector<PupnikCore::StatusText::QuotaBar> const& bars);
    void updateLoginItem();
    // Redraws the icon only when the flag changes.
    void setBadge(bool badge);
    std::optional<bool> badgeShown() const { return m_badgeShown; }
    // The sprite the icon's silhouette is drawn from.
    std::optional<QImage> const& iconSprite() const { return m_iconSprite; }
    // The tooltip of the tray icon, the application's name in the current language.
    void updateTooltip();

    Rows const& rows() const { return m_rows; }
    std::vector<QAction*> persistentItems() const;
    // The colour the icon is drawn in: the panel's text colour as far as Qt knows it.
    static QColor panelTextColour();

private:
    void menuAboutToShow();
    QAction* newRow(QString const& title = {});
    QAction* addSeparator(QMenu* menu);
    QMenu* newSubmenu(QAction* parentRow);
    void bind(QAction* row, std::function<void(MenuBarActions&)> call);
    void addPerBuildRow(QMenu* menu, QString const& title, QVariant const& value, std::function<void(MenuBarActions&, QVariant const&)> call);
    QString text(char const* key) const;
    void buildSounds();
    void buildSizes();
    void buildLanguages();
    void buildSkins();
    void buildDemo();
    void buildSources();
    void buildSync();

    std::optional<QImage> m_iconSprite;
    IconDrawing m_drawIcon;
    PupnikCore::Localizer& m_localizer;
    Platform::Clock const& m_clock;
    Platform::TimeZone const& m_zone;
    std::function<PupnikCore::LoginItemStatus()> m_loginStatus;
    std::weak_ptr<MenuBarActions> m_actions;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_statusItem { nullptr };
    std::optional<bool> m_badgeShown;
    Rows m_rows {};
    std::array<QuotaBarWidget*, 3> m_quotaBarWidgets {};
    // The submenus of the current build; replaced whole by the next one.
    std::vector<std::unique_ptr<QMenu>> m_submenus;
};

}
