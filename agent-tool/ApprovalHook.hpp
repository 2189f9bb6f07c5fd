#pragma once

#include "agent-tool/AgentContext.hpp"

#include "PawletKit/ApprovalDecision.hpp"
#include "PawletKit/Environment.hpp"
#include "PawletKit/JSON.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace AgentTool {

// Holds a permission request open: posts it into the approval mailbox, records its event, and waits
// for the application's reply, which it hands to the coding agent. Without a reply in time, without a
// mailbox, or without the application running to answer (its lock not held), it prints nothing and the
// coding agent asks the user itself.
class ApprovalHook final {
public:
    static constexpr double defaultWaitSeconds = 115;
    // Far beyond any hook time-out of the coding agent; keeps deadlines and log figures in range.
    static constexpr double maxWaitSeconds = 86'400;
    static constexpr int64_t pollIntervalMs = 100;
    static constexpr std::string_view waitVariable = "PUPNIK_APPROVAL_WAIT_MS";
    static constexpr std::string_view disabledVariable = "PUPNIK_APPROVAL_DISABLED";
    static constexpr std::string_view denyMessage = "Denied by the user in Hummo Pawlet.";

    explicit ApprovalHook(AgentContext const& context)
        : m_context(context)
    {
    }

    // The input is the parsed hook input, its process chain already added. Always 0.
    int run(PawletKit::JSON::Value input, std::optional<std::string> const& matcher) const;

    // How the wait for a reply ended: with a decision, with the time run out (neither set), or with a
    // termination signal.
    struct WaitOutcome {
        std::optional<PawletKit::ApprovalDecision> decision;
        bool interrupted { false };
    };
    struct WaitSeams {
        // Monotonic milliseconds.
        std::function<int64_t()> now;
        std::function<std::optional<PawletKit::ApprovalDecision>()> readReply;
        // Sleeps up to the given milliseconds; true once a termination signal has arrived.
        std::function<bool(int64_t)> pause;
    };
    // Polls for the reply every poll interval until the deadline, then looks once more, so that a reply
    // written since the last poll still counts.
    static WaitOutcome awaitReply(int64_t deadlineMs, WaitSeams const& seams);

    // The wait in seconds: a non-negative, finite number of milliseconds, clamped; else the default.
    static double waitSeconds(PawletKit::Environment const& environment);
    static bool isDisabled(PawletKit::Environment const& environment);

private:
    AgentContext const& m_context;
};

}
