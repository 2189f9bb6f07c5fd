#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Platform {

using WindowId = uint64_t;

// One top-level window that the window manager manages, as its properties describe it.
struct ManagedWindow {
    WindowId id { 0 };
    // The process that says it owns the window; 0 when it does not say.
    int32_t pid { 0 };
    // The two halves of WM_CLASS: instance (res_name) and class (res_class).
    std::optional<std::string> wmInstance;
    std::optional<std::string> wmClass;
    std::optional<std::string> title;
    // An application's own window, not a dock, panel, menu, tool palette or dialog.
    bool isNormal { true };
    bool isMinimized { false };
    // Place in the stacking order, 0 at the bottom: the window raised last is on top.
    size_t stackingOrder { 0 };

    bool operator==(ManagedWindow const&) const = default;
};

// The desktop's windows and their activation. The X11 implementation speaks EWMH to the window
// manager; without an X11 display every question answers empty and every request "unsupported".
// Main thread only.
class WindowSystem {
public:
    enum class Request {
        // Sent; whether it worked shows in the active window afterwards.
        sent,
        // The window no longer exists.
        gone,
        // No X11 display, or the window is not one the X server knows.
        unsupported,
    };

    virtual ~WindowSystem() = default;

    virtual bool isSupported() = 0;
    // The managed windows in the order the window manager lists them (oldest first).
    virtual std::vector<ManagedWindow> windows() = 0;
    virtual std::optional<WindowId> activeWindow() = 0;
    // Read afresh; nothing when the window is gone or has no title.
    virtual std::optional<std::string> title(WindowId window) = 0;
    // Un-minimises the window, moves it to the current desktop when it lies on another, and asks the
    // window manager to activate it the way a pager or taskbar does, with the user's last input time.
    virtual Request activate(WindowId window) = 0;
    // The stronger second attempt: raises the window and hands it the input focus directly, for window
    // managers that ignore or refuse the request above.
    virtual Request raiseAndFocus(WindowId window) = 0;
};

}
