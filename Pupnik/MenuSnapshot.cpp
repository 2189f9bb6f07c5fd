#include "Pupnik/MenuSnapshot.hpp"

#include "app-core/DebugText.hpp"
#include "platform/Log.hpp"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <cmath>
#include <cstdio>

namespace Pupnik {

MenuSnapshot::MenuSnapshot(Platform::Scheduler& scheduler, Platform::Clock const& clock, QMenu* menu, std::optional<QRect> anchor,
    QPoint fallback, std::vector<std::string> keys, std::string label, Hooks hooks)
    : m_scheduler(scheduler)
    , m_clock(clock)
    , m_menu(menu)
    , m_anchor(anchor)
    , m_fallback(fallback)
    , m_keys(std::move(keys))
    , m_label(std::move(label))
    , m_hooks(std::move(hooks))
{
}

MenuSnapshot::~MenuSnapshot() { QObject::disconnect(m_hidden); }

std::optional<int> MenuSnapshot::keyNamed(std::string_view name)
{
    struct Key {
        std::string_view name;
        int key;
    };
    static constexpr std::array<Key, 6> keys { {
        { "up", Qt::Key_Up },
        { "down", Qt::Key_Down },
        { "left", Qt::Key_Left },
        { "right", Qt::Key_Right },
        { "return", Qt::Key_Return },
        { "escape", Qt::Key_Escape },
    } };
    for (auto const& key : keys)
        if (key.name == name)
            return key.key;
    return std::nullopt;
}

std::string MenuSnapshot::captureLabel(std::string const& label, double delay)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "-t%03d", int(std::lround(delay * 100)));
    return label + buffer;
}

void MenuSnapshot::start()
{
    for (size_t i = 0; i < m_keys.size(); ++i)
        m_timers.push_back(m_scheduler.after(firstKeyDelay + keyInterval * double(i), [this, name = m_keys[i]] { pressKey(name); }));
    for (double const delay : captureDelays)
        m_timers.push_back(m_scheduler.after(delay, [this, delay] {
            if (m_hooks.capture)
                m_hooks.capture(captureLabel(m_label, delay));
        }));
    m_timers.push_back(m_scheduler.after(finishDelay, [this] { finish(); }));

    if (m_anchor) {
        auto const& r = *m_anchor;
        char buffer[160];
        std::snprintf(buffer, sizeof buffer, "menu anchor (screencapture -R coords): %d,%d,%d,%d", r.x(), r.y(), r.width(), r.height());
        Platform::Log::line(buffer);
    }
    // The application runs as an accessory (no taskbar entry): policy 1.
    Platform::Log::line(std::string("menu: isActive=") + (QGuiApplication::applicationState() == Qt::ApplicationActive ? "true" : "false")
        + " policy=1");

    if (!m_menu)
        return;
    m_openedAt = m_clock.monotonic();
    m_popped = m_anchor.has_value();
    m_hidden = QObject::connect(m_menu, &QMenu::aboutToHide, m_menu, [this] {
        QObject::disconnect(m_hidden);
        double const elapsed = m_clock.monotonic() - m_openedAt.value_or(m_clock.monotonic());
        if (m_popped)
            Platform::Log::line("menu: popUp -> Optional(true) after " + PupnikCore::DebugText::twoDecimals(elapsed) + " s");
        else
            Platform::Log::line("menu: performClick returned after " + PupnikCore::DebugText::twoDecimals(elapsed) + " s");
    });
    // Below the tray icon, as a click on it opens it; without a tray, where the pet is.
    m_menu->popup(m_anchor ? QPoint(m_anchor->left(), m_anchor->bottom() + 1) : m_fallback);
}

void MenuSnapshot::pressKey(std::string const& name)
{
    auto const key = keyNamed(name);
    if (!key || !m_menu)
        return;
    // To the open submenu when a key has opened one.
    QWidget* target = QApplication::activePopupWidget();
    if (!target)
        target = m_menu;
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, *key, Qt::NoModifier));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, *key, Qt::NoModifier));
}

void MenuSnapshot::finish()
{
    if (m_hooks.petSnapshot)
        m_hooks.petSnapshot(m_label);
    if (m_menu)
        m_menu->hide();
    m_finished = true;
}

}
