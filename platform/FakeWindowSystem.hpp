#pragma once

#include "platform/WindowSystem.hpp"

#include <functional>

namespace Platform {

// A desktop made of plain values, for tests: the windows and the active one are set directly, and
// requests behave as a cooperative window manager's would unless told otherwise. Every request is
// recorded.
class FakeWindowSystem final : public WindowSystem {
public:
    enum class Kind {
        activate,
        raiseAndFocus,
    };
    struct Sent {
        Kind kind;
        WindowId window;
        bool operator==(Sent const&) const = default;
    };

    bool supported { true };
    std::vector<ManagedWindow> managed;
    std::optional<WindowId> active;
    // Whether each kind of request makes the window active (and un-minimises it).
    bool honoursActivate { true };
    bool honoursRaiseAndFocus { true };
    std::vector<Sent> sent;
    // Called on every read, before the answer: lets a test change the desktop between two reads.
    std::function<void()> onWindowsRead;
    std::function<void(WindowId)> onTitleRead;

    bool isSupported() override { return supported; }
    std::vector<ManagedWindow> windows() override;
    std::optional<WindowId> activeWindow() override;
    std::optional<std::string> title(WindowId window) override;
    Request activate(WindowId window) override;
    Request raiseAndFocus(WindowId window) override;

    ManagedWindow* find(WindowId window);

private:
    Request request(Kind kind, WindowId window, bool honoured);
};

}
