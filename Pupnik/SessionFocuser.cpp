#include "Pupnik/SessionFocuser.hpp"

#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/ProcessAncestry.hpp"
#include "PawletKit/Text.hpp"
#include "app-core/Focus/FocusChooser.hpp"
#include "platform/Log.hpp"

namespace Pupnik {

struct SessionFocuser::Request {
    Request(Placement placement, Completion completion)
        : placement(std::move(placement))
        , completion(std::move(completion))
    {
    }

    Placement placement;
    Completion completion;
    Platform::WindowId window { 0 };
    // The active window when the request was made: one other than it and the session's window
    // means the user went on to a window of their choice meanwhile.
    std::optional<Platform::WindowId> activeBefore;
    std::optional<std::string> scriptResult;
    std::unique_ptr<Platform::ScheduledWork> timer;
};

namespace {

std::string pidList(std::vector<int32_t> const& pids)
{
    std::string text = "[";
    for (size_t i = 0; i < pids.size(); ++i)
        text += (i ? ", " : "") + std::to_string(pids[i]);
    return text + "]";
}

std::string targetLine(PawletKit::SessionTarget const& target, std::optional<std::string> const& cwd, PupnikCore::RunningAppInfo const& app)
{
    return "focus: sid=" + PawletKit::Text::prefix(target.sid, 12) + " source=" + std::string(PawletKit::rawValue(target.source))
        + " pids=" + pidList(target.pids) + " tty=" + target.tty.value_or("-") + " cwd=" + cwd.value_or("-") + " → "
        + app.localizedName.value_or("?") + " [" + app.bundleId.value_or("-") + "] pid " + std::to_string(app.pid);
}

std::string answer(Platform::WindowSystem::Request request)
{
    return request == Platform::WindowSystem::Request::sent ? "true" : "false";
}

}

std::string SessionFocuser::Outcome::description() const
{
    std::string name = "-";
    std::string bundle = "-";
    int32_t pid = 0;
    if (app) {
        name = app->localizedName.value_or("-");
        bundle = app->bundleId.value_or("-");
        pid = app->pid;
    }
    return "success=" + std::string(success ? "true" : "false") + " method=" + method + " app=" + name + " (" + bundle + ") pid="
        + std::to_string(pid) + " script=" + scriptResult.value_or("-");
}

SessionFocuser::SessionFocuser(Services services)
    : m_services(std::move(services))
    , m_jumper(TerminalJumper::Services { m_services.windows, m_services.wait, m_services.clock, m_services.alerts, m_services.runner,
          m_services.environment, m_services.random })
{
}

SessionFocuser::~SessionFocuser() = default;

std::optional<SessionFocuser::Placement> SessionFocuser::place(std::vector<PawletKit::SessionTarget> const& targets)
{
    if (targets.empty())
        return std::nullopt;
    auto const workspace = Workspace::read(m_services.windows, *m_services.processes);
    PupnikCore::FocusChooser::AppLookup const lookup = [&](int32_t pid) { return workspace.info(pid); };
    PupnikCore::FocusChooser::RunningApps const running = [&] { return workspace.infos(); };
    for (auto const& target : targets) {
        auto copy = target;
        if (!copy.cwd && !copy.pids.empty())
            copy.cwd = PawletKit::ProcessAncestry::firstWorkingDirectory(copy.pids, *m_services.processes);
        if (auto plan = PupnikCore::FocusChooser::plan(copy, lookup, running))
            return Placement { target, std::move(*plan), copy.cwd };
    }
    return std::nullopt;
}

std::optional<std::string> SessionFocuser::appName(std::vector<PawletKit::SessionTarget> const& targets)
{
    if (!m_services.windows.isSupported())
        return std::nullopt;
    auto placed = place(targets);
    if (!placed || !placed->plan.app.localizedName)
        return std::nullopt;
    auto name = PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(*placed->plan.app.localizedName);
    if (name.empty())
        return std::nullopt;
    return std::string(name);
}

std::optional<int32_t> SessionFocuser::frontmostPid()
{
    auto active = m_services.windows.activeWindow();
    if (!active)
        return std::nullopt;
    for (auto const& window : m_services.windows.windows())
        if (window.id == *active && window.pid > 0)
            return window.pid;
    return std::nullopt;
}

bool SessionFocuser::focus(std::vector<PawletKit::SessionTarget> const& targets, Completion completion)
{
    if (targets.empty())
        return false;
    if (!m_services.windows.isSupported()) {
        m_jumper.ensureAccessibility();
        Platform::Log::line("focus: unsupported — no X11 display, so no window can be brought forward");
        return false;
    }
    auto placed = place(targets);
    if (!placed) {
        // On an X11 desktop a session without a window is nothing to report; under Wayland it is
        // most likely a terminal that talks to the compositor directly.
        if (m_services.environment.contains("WAYLAND_DISPLAY"))
            Platform::Log::line("focus: unsupported — no process of the waiting sessions owns a window the X server can see "
                                "(native Wayland windows cannot be brought forward)");
        return false;
    }
    if (m_busy) {
        Platform::Log::line("focus: busy — the previous request is still picking its window");
        Outcome outcome { false, "busy", placed->plan.app, std::nullopt };
        m_services.scheduler.post([outcome, completion = std::move(completion)] {
            Platform::Log::line("focus: " + outcome.description());
            if (completion)
                completion(outcome);
        });
        return true;
    }

    Platform::Log::line(targetLine(placed->target, placed->cwd, placed->plan.app));
    auto owned = std::make_unique<Request>(std::move(*placed), std::move(completion));
    Request& request = *owned;
    m_requests.push_back(std::move(owned));

    request.scriptResult = runStrategy(request.placement.plan);

    int32_t const pid = request.placement.plan.app.pid;
    auto const workspace = Workspace::read(m_services.windows, *m_services.processes);
    std::optional<Platform::ManagedWindow> window;
    if (auto const* app = workspace.application(pid))
        window = Workspace::sessionWindow(
            *app, { request.placement.target.tty, request.placement.cwd, m_jumper.raisedWindow() });
    if (!window) {
        deliver(request, Outcome { false, "gone", request.placement.plan.app, std::nullopt });
        return true;
    }
    request.window = window->id;
    request.activeBefore = m_services.windows.activeWindow();
    Platform::Log::line("focus: step 1 activate(options:) → " + answer(m_services.windows.activate(request.window)));
    request.timer = m_services.scheduler.after(stepDelay, [this, &request] { checkStep1(request); });
    return true;
}

std::optional<std::string> SessionFocuser::runStrategy(PupnikCore::FocusPlan const& plan)
{
    auto const& jump = plan.jump;
    if (jump.isNone())
        return std::nullopt;
    // Terminal's and iTerm2's tab scripts need their applications' scripting, which Linux lacks.
    if (jump.as<PupnikCore::TerminalJump::AppleScript>() && plan.app.bundleId)
        return "applescript(unsupported)";
    m_busy = true;
    auto result = m_jumper.jump(jump, plan.app.pid);
    m_busy = false;
    return result;
}

void SessionFocuser::checkStep1(Request& request)
{
    if (frontmostPid() == request.placement.plan.app.pid) {
        finish(request, "activate(options:)");
        return;
    }
    // The second step takes the focus by force; after the user has chosen another window it would
    // take it from them.
    if (auto const active = m_services.windows.activeWindow(); active && active != request.activeBefore && active != request.window) {
        Platform::Log::line("focus: step 2 skipped — another window became active meanwhile");
        finish(request, "activate(options:)");
        return;
    }
    Platform::Log::line("focus: step 2 activate(from:) → " + answer(m_services.windows.raiseAndFocus(request.window)));
    request.timer = m_services.scheduler.after(stepDelay, [this, &request] { checkStep2(request); });
}

void SessionFocuser::checkStep2(Request& request)
{
    if (frontmostPid() == request.placement.plan.app.pid) {
        finish(request, "activate(from:)");
        return;
    }
    // Starting a terminal or editor anew would open a new window, not the session's: Linux
    // applications have no bundle to reopen, so the request ends here.
    finish(request, "no-bundle-url");
}

void SessionFocuser::finish(Request& request, std::string method)
{
    bool const success = frontmostPid() == request.placement.plan.app.pid;
    deliver(request, Outcome { success, std::move(method), request.placement.plan.app, std::nullopt });
}

void SessionFocuser::deliver(Request& request, Outcome outcome)
{
    outcome.scriptResult = request.scriptResult;
    // Ghostty may not have shown its window yet when asked; it is asked once more afterwards.
    if (!outcome.scriptResult || outcome.scriptResult->find("no-windows") == std::string::npos) {
        complete(request, outcome);
        return;
    }
    request.timer = m_services.scheduler.after(retryDelay, [this, &request, outcome]() mutable {
        std::string again = "skipped(busy)";
        if (!m_busy) {
            m_busy = true;
            again = m_jumper.jump(request.placement.plan.jump, request.placement.plan.app.pid);
            m_busy = false;
        }
        *outcome.scriptResult += " → retry " + again;
        complete(request, outcome);
    });
}

void SessionFocuser::complete(Request& request, Outcome outcome)
{
    Platform::Log::line("focus: " + outcome.description());
    auto completion = std::move(request.completion);
    m_requests.remove_if([&](auto const& owned) { return owned.get() == &request; });
    if (completion)
        completion(outcome);
}

}
