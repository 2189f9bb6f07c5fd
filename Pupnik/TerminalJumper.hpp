#pragma once

#include "PawletKit/Environment.hpp"
#include "PawletKit/ProcessRunner.hpp"
#include "Pupnik/AlertPresenter.hpp"
#include "app-core/Focus/GhosttyWindow.hpp"
#include "app-core/Focus/TerminalApp.hpp"
#include "app-core/Focus/TerminalJump.hpp"
#include "platform/Clock.hpp"
#include "platform/MainLoopWait.hpp"
#include "platform/WindowSystem.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Pupnik {

// Picks a session's tab, pane or window inside its terminal or editor before the focuser activates
// it: Ghostty's windows by their titles (with a title probe through the session's terminal when the
// titles do not tell), WezTerm and kitty through their remote control, VS Code and Cursor through their
// launchers. Every jump answers one short result text and never stops the activation that follows.
// Main thread only; command-line tools run on a thread of their own while the event loop keeps
// turning, so the pet never freezes.
class TerminalJumper final {
public:
    struct Services {
        Platform::WindowSystem& windows;
        Platform::MainLoopWait& wait;
        Platform::Clock const& clock;
        AlertPresenter& alerts;
        // Runs the command-line tools.
        std::shared_ptr<PawletKit::ProcessRunner const> runner;
        // The application's environment: where the tools are looked for, and theirs.
        PawletKit::Environment environment;
        // Random numbers for the probe's marker.
        std::function<uint32_t()> random;
    };

    // A window of the application with its description for the title rules.
    struct WindowRef {
        PupnikCore::GhosttyWindow info;
        Platform::WindowId window { 0 };
    };

    static constexpr double toolTimeout = 1.5;
    static constexpr double probeLimit = 1.0;
    static constexpr double probeSlice = 0.04;

    explicit TerminalJumper(Services services);

    // Shows the one-time explanation before the first request that finds no window system; the
    // delegate turns it off with the launch option that switches modal dialogs off.
    bool showsExplanation { true };

    // The dispatch: one result text per jump.
    std::string jump(PupnikCore::TerminalJump const& jump, int32_t pid);
    std::string ghostty(int32_t pid, std::optional<std::string> const& tty, std::optional<std::string> const& cwd);
    std::string wezterm(std::string const& tty);
    std::string kitty(std::vector<int32_t> const& pids, std::optional<std::string> const& cwd);
    std::string editor(PupnikCore::TerminalApp app, std::string const& cwd);

    // The window the last jump raised; activation then goes to it.
    std::optional<Platform::WindowId> raisedWindow() const { return m_raised; }

    // Whether windows can be reached at all (an X11 display). The first time they cannot, the user
    // is told once, and every later time the answer is a silent false.
    bool ensureAccessibility();
    bool accessibilityExplained() const { return m_accessibilityExplained; }
    bool accessibilityDenied() const { return m_accessibilityDenied; }

    std::vector<WindowRef> ghosttyWindows(int32_t pid);
    void raise(WindowRef const& window);
    // Writes the text to the terminal device in a single write; true only when all of it was
    // written, so a title sequence is never left half written.
    bool writeToTTY(std::string_view text, std::string_view tty);
    std::string probeTitle(std::string const& tty, std::vector<int64_t> const& candidates, std::vector<WindowRef> const& windows);
    static std::optional<std::filesystem::path> firstExecutable(std::vector<std::filesystem::path> const& paths);
    // The tool's standard output when it ran and exited with status 0 within the time limit.
    std::optional<std::string> runCLI(std::filesystem::path const& path, std::vector<std::string> const& arguments);

private:
    Services m_services;
    bool m_accessibilityExplained { false };
    bool m_accessibilityDenied { false };
    std::optional<Platform::WindowId> m_raised;
};

}
