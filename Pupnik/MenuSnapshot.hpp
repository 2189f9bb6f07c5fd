#pragma once

#include "platform/Clock.hpp"
#include "platform/Scheduler.hpp"

#include <QPointer>
#include <QRect>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QMenu;

namespace Pupnik {

// The menu snapshot: opens the status menu, drives it with the debug menu keys, captures the
// application's windows at fixed moments while it is open, then lets the pet write its snapshot and
// closes the menu. About 2.4 s; it ends by itself. Main thread only.
class MenuSnapshot final {
public:
    static constexpr std::array<double, 7> captureDelays { 0.25, 0.45, 0.7, 0.95, 1.25, 1.6, 2.0 };
    static constexpr double firstKeyDelay = 0.6;
    static constexpr double keyInterval = 0.15;
    static constexpr double finishDelay = 2.4;

    struct Hooks {
        // Captures the application's windows under the label (label + "-menu.png").
        std::function<void(std::string const& label)> capture;
        // The pet's own snapshot under the label.
        std::function<void(std::string const& label)> petSnapshot;
    };

    // The tray icon's place, when the tray gives one; else the menu opens at the fallback point.
    MenuSnapshot(Platform::Scheduler& scheduler, Platform::Clock const& clock, QMenu* menu, std::optional<QRect> anchor, QPoint fallback,
        std::vector<std::string> keys, std::string label, Hooks hooks);
    ~MenuSnapshot();
    MenuSnapshot(MenuSnapshot const&) = delete;
    MenuSnapshot& operator=(MenuSnapshot const&) = delete;

    void start();
    bool isFinished() const { return m_finished; }

    // The Qt key of a debug key name (up, down, left, right, return, escape; exact); nothing for others.
    static std::optional<int> keyNamed(std::string_view name);
    // "menu-02-t045": the label and the delay in hundredths.
    static std::string captureLabel(std::string const& label, double delay);
    // Posts a press and a release of the named key to the open menu; an unknown name posts nothing.
    void pressKey(std::string const& name);

private:
    void finish();

    Platform::Scheduler& m_scheduler;
    Platform::Clock const& m_clock;
    QPointer<QMenu> m_menu;
    std::optional<QRect> m_anchor;
    QPoint m_fallback;
    std::vector<std::string> m_keys;
    std::string m_label;
    Hooks m_hooks;
    std::vector<std::unique_ptr<Platform::ScheduledWork>> m_timers;
    std::optional<double> m_openedAt;
    bool m_popped { false };
    bool m_finished { false };
    QMetaObject::Connection m_hidden;
};

}
