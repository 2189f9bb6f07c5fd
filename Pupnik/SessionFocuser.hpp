#pragma once

#include "PawletKit/ProcessTable.hpp"
#include "PawletKit/SessionTarget.hpp"
#include "Pupnik/TerminalJumper.hpp"
#include "Pupnik/Workspace.hpp"
#include "app-core/Focus/FocusPlan.hpp"
#include "app-core/Focus/RunningAppInfo.hpp"
#include "platform/Scheduler.hpp"

#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Pupnik {

// Brings the window in which a waiting agent session runs to the front: finds the application that
// owns the first session it can place (the window owner along the session's process chain), lets the
// terminal jumper pick the session's tab or window inside it, then activates the session's window
// in up to two escalating steps and judges success by the process of the active window. The
// application delegate owns one. Main thread only.
class SessionFocuser final {
public:
    struct Outcome {
        // The application was in front when the outcome was made.
        bool success { false };
        // How activation ended: "activate(options:)", "activate(from:)", "no-bundle-url", "gone" or
        // "busy" (refused while another request still picks its window).
        std::string method;
        std::optional<PupnikCore::RunningAppInfo> app;
        std::optional<std::string> scriptResult;

        // "success=true method=activate(options:) app=XTerm (xterm) pid=812 script=activate-only"
        std::string description() const;
        bool operator==(Outcome const&) const = default;
    };
    using Completion = std::function<void(Outcome const&)>;

    struct Services {
        Platform::WindowSystem& windows;
        Platform::Scheduler& scheduler;
        Platform::MainLoopWait& wait;
        Platform::Clock const& clock;
        AlertPresenter& alerts;
        std::shared_ptr<PawletKit::ProcessRunner const> runner;
        PawletKit::Environment environment;
        std::function<uint32_t()> random;
        PawletKit::ProcessTable const* processes { &PawletKit::ProcessTable::system() };
    };

    // Between an activation request and the look at what came to the front.
    static constexpr double stepDelay = 0.15;
    // Before the one retry of a Ghostty request that found no window.
    static constexpr double retryDelay = 0.25;

    explicit SessionFocuser(Services services);
    ~SessionFocuser();
    SessionFocuser(SessionFocuser const&) = delete;
    SessionFocuser& operator=(SessionFocuser const&) = delete;

    // Tries the sessions in order; false, having done nothing else, when none can be placed. Once one
    // is placed the outcome reaches the completion on the main thread, at the latest about half a
    // second later (at once when the application is already gone).
    bool focus(std::vector<PawletKit::SessionTarget> const& targets, Completion completion = {});
    // The name of the application focus() would bring forward; nothing when no session can be placed
    // or the name is blank.
    std::optional<std::string> appName(std::vector<PawletKit::SessionTarget> const& targets);

    TerminalJumper& jumper() { return m_jumper; }
    // A request is picking its window (a tool runs or the probe waits); another is refused meanwhile.
    bool isBusy() const { return m_busy; }

private:
    struct Placement {
        PawletKit::SessionTarget target;
        PupnikCore::FocusPlan plan;
        // The working directory, filled in from the process chain when the session did not say.
        std::optional<std::string> cwd;
    };
    struct Request;

    std::optional<Placement> place(std::vector<PawletKit::SessionTarget> const& targets);
    std::optional<int32_t> frontmostPid();
    // The result of the plan's window-selecting strategy; nothing when the plan only activates.
    std::optional<std::string> runStrategy(PupnikCore::FocusPlan const& plan);
    void checkStep1(Request& request);
    void checkStep2(Request& request);
    void finish(Request& request, std::string method);
    void deliver(Request& request, Outcome outcome);
    // Logs the outcome, ends the request and only then calls its completion.
    void complete(Request& request, Outcome outcome);

    Services m_services;
    TerminalJumper m_jumper;
    bool m_busy { false };
    std::list<std::unique_ptr<Request>> m_requests;
};

}
