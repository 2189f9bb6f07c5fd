#pragma once

#include "PawletKit/ProcessTable.hpp"
#include "app-core/Focus/RunningAppInfo.hpp"
#include "platform/WindowSystem.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Pupnik {

// The running applications as the window system shows them: every process that owns a managed
// window, named through the focus rules' table of Linux identities (WM_CLASS, executable name), and
// regular when one of its windows is an ordinary application window. A snapshot, read at once.
class Workspace final {
public:
    struct Application {
        PupnikCore::RunningAppInfo info;
        // The process's windows in the window system's order.
        std::vector<Platform::ManagedWindow> windows;
    };

    // What tells a session's window among its application's windows.
    struct SessionHint {
        std::optional<std::string> tty;
        std::optional<std::string> cwd;
        // The window a strategy already chose, taken while it exists.
        std::optional<Platform::WindowId> preferred;
    };

    static Workspace read(Platform::WindowSystem& windows, PawletKit::ProcessTable const& processes = PawletKit::ProcessTable::system());

    // In the order of their first windows.
    std::vector<Application> const& applications() const { return m_applications; }
    Application const* application(int32_t pid) const;
    std::optional<PupnikCore::RunningAppInfo> info(int32_t pid) const;
    std::vector<PupnikCore::RunningAppInfo> infos() const;

    // The application's window that shows the session, where it owns several (a terminal server's
    // windows): the preferred one; else the only one; else the one whose title names the terminal or
    // the working directory's name; else the one raised last, which is the one used last.
    static std::optional<Platform::ManagedWindow> sessionWindow(Application const& application, SessionHint const& hint);

private:
    std::vector<Application> m_applications;
};

}
