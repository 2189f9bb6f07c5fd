#include "Pupnik/TerminalJumper.hpp"

#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/ProcInfo.hpp"
#include "Pupnik/Workspace.hpp"
#include "app-core/Focus/EditorCLI.hpp"
#include "app-core/Focus/GhosttyPlan.hpp"
#include "app-core/Focus/KittyCLI.hpp"
#include "app-core/Focus/ToolListing.hpp"
#include "app-core/Focus/WezTermCLI.hpp"
#include "app-core/Localized.hpp"
#include "platform/Log.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace Pupnik {

namespace {

std::string joined(std::vector<std::string> const& words)
{
    std::string text;
    for (auto const& word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

template<typename... Cases>
struct Overloaded : Cases... {
    using Cases::operator()...;
};

}

TerminalJumper::TerminalJumper(Services services)
    : m_services(std::move(services))
{
}

std::string TerminalJumper::jump(PupnikCore::TerminalJump const& jump, int32_t pid)
{
    using PupnikCore::TerminalJump;
    m_raised.reset();
    return std::visit(Overloaded {
                          [](TerminalJump::None const&) -> std::string { return "activate-only"; },
                          [](TerminalJump::AppleScript const&) -> std::string { return "applescript(handled-by-focuser)"; },
                          [&](TerminalJump::Ghostty const& j) { return ghostty(pid, j.tty, j.cwd); },
                          [&](TerminalJump::WezTerm const& j) { return wezterm(j.tty); },
                          [&](TerminalJump::Kitty const& j) { return kitty(j.pids, j.cwd); },
                          [&](TerminalJump::Editor const& j) { return editor(j.app, j.cwd); },
                      },
        jump.payload());
}

bool TerminalJumper::ensureAccessibility()
{
    if (m_services.windows.isSupported())
        return true;
    if (m_accessibilityDenied)
        return false;
    if (m_accessibilityExplained) {
        m_accessibilityDenied = true;
        return false;
    }
    m_accessibilityExplained = true;
    if (showsExplanation)
        m_services.alerts.run(Alert::notice(PupnikCore::localized("ax.title"), PupnikCore::localized("ax.body"), Alert::Style::informational));
    Platform::Log::line("focus: no X11 display reachable — told the user once; windows cannot be brought forward without one");
    return false;
}

std::vector<TerminalJumper::WindowRef> TerminalJumper::ghosttyWindows(int32_t pid)
{
    std::vector<WindowRef> refs;
    auto const workspace = Workspace::read(m_services.windows);
    auto const* app = workspace.application(pid);
    if (!app)
        return refs;
    for (auto const& window : app->windows) {
        WindowRef ref;
        ref.info.index = static_cast<int64_t>(refs.size());
        ref.info.title = window.title;
        ref.info.isMinimized = window.isMinimized;
        ref.window = window.id;
        refs.push_back(std::move(ref));
    }
    return refs;
}

void TerminalJumper::raise(WindowRef const& window)
{
    m_raised = window.window;
    (void)m_services.windows.activate(window.window);
}

std::string TerminalJumper::ghostty(int32_t pid, std::optional<std::string> const& tty, std::optional<std::string> const& cwd)
{
    if (!ensureAccessibility())
        return "ghostty(no-accessibility)";
    auto windows = ghosttyWindows(pid);
    if (windows.empty())
        return "ghostty(no-windows)";
    std::vector<PupnikCore::GhosttyWindow> infos;
    for (auto const& window : windows)
        infos.push_back(window.info);
    auto decision = PupnikCore::GhosttyPlan::decide(infos, tty, cwd);
    if (auto const* raiseIt = decision.as<PupnikCore::GhosttyDecision::Raise>()) {
        auto it = std::find_if(windows.begin(), windows.end(), [&](WindowRef const& w) { return w.info.index == raiseIt->index; });
        if (it == windows.end())
            return "ghostty(gone)";
        raise(*it);
        return "ghostty(raised:" + raiseIt->reason + ")";
    }
    if (auto const* probe = decision.as<PupnikCore::GhosttyDecision::Probe>())
        return probeTitle(probe->tty, probe->candidates, windows);
    return "ghostty(ambiguous)";
}

std::string TerminalJumper::probeTitle(std::string const& tty, std::vector<int64_t> const& candidates, std::vector<WindowRef> const& windows)
{
    std::string const marker = PupnikCore::GhosttyPlan::probeToken(m_services.random);
    if (!writeToTTY(PupnikCore::GhosttyPlan::titleSequence(marker), tty))
        return "ghostty(probe-write-failed)";
    std::vector<PupnikCore::GhosttyWindow> before;
    for (auto const& window : windows)
        before.push_back(window.info);
    double const deadline = m_services.clock.monotonic() + probeLimit;
    for (;;) {
        if (!(m_services.clock.monotonic() < deadline)) {
            Platform::Log::line("focus: Ghostty title probe on " + tty + " found no window within 1.0 s; if a window is still titled "
                + marker + " its program will overwrite it on its next update");
            return "ghostty(probe-timeout)";
        }
        m_services.wait.pump(probeSlice);
        std::vector<std::optional<std::string>> titles;
        for (auto const& window : windows)
            titles.push_back(m_services.windows.title(window.window));
        auto match = PupnikCore::GhosttyPlan::matchProbe(before, titles, marker);
        if (!match)
            continue;
        if (!match->previousTitle.empty())
            (void)writeToTTY(PupnikCore::GhosttyPlan::titleSequence(match->previousTitle), tty);
        raise(windows[match->position]);
        bool const expected = std::find(candidates.begin(), candidates.end(), match->index) != candidates.end();
        return std::string("ghostty(raised:probe/") + (expected ? "expected" : "outside-candidates") + ")";
    }
}

bool TerminalJumper::writeToTTY(std::string_view text, std::string_view tty)
{
    if (!PawletKit::ProcInfo::isValidTTYName(tty))
        return false;
    std::string const device = "/dev/" + std::string(tty);
    PawletKit::FileDescriptor fd(::open(device.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.isValid()) {
        Platform::Log::line("focus: cannot open " + device + " (" + std::strerror(errno) + ")");
        return false;
    }
    if (text.empty())
        return true;
    // One write: a terminal that takes only part of an escape sequence would show the rest as text,
    // and what it took cannot be taken back; so a short write is a failure, never continued.
    ssize_t written = -1;
    do
        written = ::write(fd.get(), text.data(), text.size());
    while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(text.size()))
        return true;
    if (written < 0)
        Platform::Log::line("focus: cannot write to " + device + " (" + std::strerror(errno) + ")");
    else
        Platform::Log::line("focus: " + device + " took only " + std::to_string(written) + " of " + std::to_string(text.size()) + " bytes");
    return false;
}

std::optional<std::filesystem::path> TerminalJumper::firstExecutable(std::vector<std::filesystem::path> const& paths)
{
    for (auto const& path : paths) {
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return std::nullopt;
}

std::optional<std::string> TerminalJumper::runCLI(std::filesystem::path const& path, std::vector<std::string> const& arguments)
{
    PawletKit::ProcessRunner::Request request;
    request.executable = path;
    request.arguments = arguments;
    request.environment = m_services.environment;
    request.timeout = toolTimeout;
    request.maxOutputBytes = PupnikCore::ToolListing::maxBytes;
    PawletKit::ProcessRunner::Result result;
    auto const& runner = m_services.runner;
    std::string const command = path.filename().string() + " " + joined(arguments);
    if (!m_services.wait.runOffMainThread([&] { result = runner->run(request); })) {
        Platform::Log::line("focus: " + command + " not run: another tool is still running");
        return std::nullopt;
    }
    using Ending = PawletKit::ProcessRunner::Result::Ending;
    switch (result.ending) {
    case Ending::failedToStart:
        Platform::Log::line("focus: " + path.string() + " could not be launched: " + std::strerror(result.startError));
        return std::nullopt;
    case Ending::timedOut:
        Platform::Log::line("focus: " + command + " did not finish within 1.5 s; stopped with everything it started");
        return std::nullopt;
    case Ending::signalled:
        Platform::Log::line("focus: " + command + " ended by signal " + std::to_string(result.status));
        return std::nullopt;
    case Ending::exited:
        break;
    }
    if (result.status != 0) {
        Platform::Log::line("focus: " + command + " exited " + std::to_string(result.status));
        return std::nullopt;
    }
    if (result.outputTruncated) {
        Platform::Log::line("focus: " + command + " printed more than " + std::to_string(request.maxOutputBytes) + " bytes");
        return std::nullopt;
    }
    return std::move(result.standardOutput);
}

std::string TerminalJumper::wezterm(std::string const& tty)
{
    auto tool = firstExecutable(PupnikCore::WezTermCLI::candidatePaths(m_services.environment));
    if (!tool)
        return "wezterm(cli-missing)";
    auto listing = runCLI(*tool, PupnikCore::WezTermCLI::listArguments());
    if (!listing)
        return "wezterm(list-failed)";
    auto pane = PupnikCore::WezTermCLI::paneID(*listing, tty);
    if (!pane)
        return "wezterm(pane-not-found)";
    if (!runCLI(*tool, PupnikCore::WezTermCLI::activateArguments(*pane)))
        return "wezterm(activate-failed)";
    return "wezterm(pane " + std::to_string(*pane) + ")";
}

std::string TerminalJumper::kitty(std::vector<int32_t> const& pids, std::optional<std::string> const& cwd)
{
    auto tool = firstExecutable(PupnikCore::KittyCLI::candidatePaths(m_services.environment));
    if (!tool)
        return "kitty(cli-missing)";
    // kitty answers only when the user switched remote control on; without it the activation that
    // follows still brings kitty's window of the session forward.
    auto listing = runCLI(*tool, PupnikCore::KittyCLI::listArguments());
    if (!listing)
        return "kitty(no-remote-control)";
    auto window = PupnikCore::KittyCLI::windowID(*listing, pids, cwd);
    if (!window)
        return "kitty(window-not-found)";
    if (!runCLI(*tool, PupnikCore::KittyCLI::focusArguments(*window)))
        return "kitty(focus-failed)";
    return "kitty(window " + std::to_string(*window) + ")";
}

std::string TerminalJumper::editor(PupnikCore::TerminalApp app, std::string const& cwd)
{
    std::string const name(app.rawValue());
    auto tool = firstExecutable(PupnikCore::EditorCLI::candidatePaths(app, m_services.environment));
    if (!tool)
        return name + "(cli-missing)";
    auto arguments = PupnikCore::EditorCLI::arguments(cwd);
    if (!arguments)
        return name + "(bad-cwd)";
    if (!runCLI(*tool, *arguments))
        return name + "(failed)";
    return name + "(reuse-window)";
}

}
