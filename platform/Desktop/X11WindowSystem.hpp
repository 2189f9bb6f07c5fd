#pragma once

#include "platform/WindowSystem.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Platform {

// The windows of an X11 display, read from the window manager's EWMH properties through libX11 on
// a connection of its own. Without a reachable display (none set, or a Wayland session without
// XWayland) it is unsupported; a native Wayland window is simply not among its windows.
class X11WindowSystem final : public WindowSystem {
public:
    // The user's last input as an X server timestamp, 0 when unknown; the server's current time then
    // stands in.
    using InputTime = std::function<uint32_t()>;

    // Bounds on what other programs' windows can make us read.
    static constexpr long maxWindows = 4096;
    static constexpr long maxTitleBytes = 4096;
    static constexpr long maxClassBytes = 512;

    // Connects to the named display, or to $DISPLAY when none is named.
    explicit X11WindowSystem(InputTime lastInputTime = {}, std::optional<std::string> const& display = std::nullopt);
    ~X11WindowSystem() override;
    X11WindowSystem(X11WindowSystem const&) = delete;
    X11WindowSystem& operator=(X11WindowSystem const&) = delete;

    bool isSupported() override;
    std::vector<ManagedWindow> windows() override;
    std::optional<WindowId> activeWindow() override;
    std::optional<std::string> title(WindowId window) override;
    Request activate(WindowId window) override;
    Request raiseAndFocus(WindowId window) override;

    // The timestamp a request carries: the user's last input, else the server's time now.
    uint32_t requestTime();

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    InputTime m_lastInputTime;
};

}
