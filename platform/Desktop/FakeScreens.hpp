#pragma once

#include "platform/Desktop/Screens.hpp"

namespace Platform {

// Screens a test sets up and changes at will; the first one is primary, its top edge the flip line.
class FakeScreens final : public Screens {
public:
    FakeScreens() = default;
    explicit FakeScreens(std::vector<Screen> screens)
        : m_screens(std::move(screens))
    {
    }

    std::vector<Screen> all() const override { return m_screens; }
    std::optional<Screen> main() const override;
    void setOnChange(std::function<void()> handler) override { m_onChange = std::move(handler); }
    std::optional<QImage> grab(ScreenRect const& area) const override;

    // Replaces the screens and tells the watcher, as a monitor being plugged or unplugged would.
    void change(std::vector<Screen> screens);
    // Another main screen than the first, like a focused secondary monitor.
    void setMainIndex(size_t index) { m_mainIndex = index; }

protected:
    double flipLine() const override { return m_screens.empty() ? 0 : m_screens.front().frame.maxY(); }

private:
    std::vector<Screen> m_screens;
    size_t m_mainIndex { 0 };
    std::function<void()> m_onChange;
};

}
