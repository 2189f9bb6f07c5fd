#include "agent-tool/ApprovalHook.hpp"
#include "agent-tool/TerminationSignals.hpp"

#include <csignal>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

using namespace AgentTool;

TEST(ApprovalHook, WaitFromTheEnvironment)
{
    struct Case {
        char const* value;
        double expected;
    };
    Case const cases[] = {
        { "1500", 1.5 },
        { "0", 0 },
        { "-0", 0 },
        { "+2000", 2 },
        { "2.5e3", 2.5 },
        { "-5", 115 },
        { "abc", 115 },
        { " 1500", 115 },
        { "1500 ", 115 },
        { "", 115 },
        { "0x10", 115 },
        { "nan", 115 },
        { "inf", 115 },
        { "-inf", 115 },
        { "1e400", 115 },
        // Too small to be told from zero is no wait at all.
        { "1e-400", 0 },
        { "-1e-400", 0 },
        // Huge waits are clamped, so deadlines and log figures stay in range.
        { "1e300", ApprovalHook::maxWaitSeconds },
        { "9223372036854775807000", ApprovalHook::maxWaitSeconds },
    };
    EXPECT_EQ(ApprovalHook::waitSeconds({}), 115);
    for (auto const& c : cases)
        EXPECT_EQ(ApprovalHook::waitSeconds({ { "PUPNIK_APPROVAL_WAIT_MS", c.value } }), c.expected) << '"' << c.value << '"';
}

TEST(ApprovalHook, SwitchedOffByTheEnvironment)
{
    struct Case {
        char const* value;
        bool disabled;
    };
    Case const cases[] = { { "1", true }, { "true", true }, { "TRUE", true }, { "Yes", true }, { " 1", false }, { "0", false },
        { "no", false }, { "", false }, { "on", false } };
    EXPECT_FALSE(ApprovalHook::isDisabled({}));
    for (auto const& c : cases)
        EXPECT_EQ(ApprovalHook::isDisabled({ { "PUPNIK_APPROVAL_DISABLED", c.value } }), c.disabled) << '"' << c.value << '"';
}

TEST(TerminationSignalsDeathTest, SignalIsHeldForTheWait)
{
    // Without the guard the signal would end the process with its default action.
    EXPECT_EXIT(
        {
            TerminationSignals signals;
            ::raise(SIGTERM);
            ::raise(SIGHUP);
            std::exit(signals.wait(1000) ? 7 : 1);
        },
        testing::ExitedWithCode(7), "");
}

namespace {

// The wait on a clock of its own: pauses move the clock, and the reply turns up at a chosen time.
struct ScriptedWait {
    int64_t clock { 0 };
    std::optional<int64_t> replyAt;
    std::optional<int64_t> signalAt;
    std::vector<int64_t> reads;

    ApprovalHook::WaitSeams seams()
    {
        return {
            [this] { return clock; },
            [this]() -> std::optional<PawletKit::ApprovalDecision> {
                reads.push_back(clock);
                if (replyAt && clock >= *replyAt)
                    return PawletKit::ApprovalDecision::allow;
                return std::nullopt;
            },
            [this](int64_t milliseconds) {
                clock += milliseconds;
                return signalAt && clock >= *signalAt;
            },
        };
    }
};

}

TEST(ApprovalHook, ReplyWait)
{
    using Decision = PawletKit::ApprovalDecision;
    struct Case {
        char const* name;
        int64_t deadline;
        std::optional<int64_t> replyAt;
        std::optional<int64_t> signalAt;
        std::optional<Decision> expected;
        bool interrupted;
        std::vector<int64_t> reads;
    };
    Case const cases[] = {
        { "reply before the first poll", 1000, 0, std::nullopt, Decision::allow, false, { 0 } },
        { "reply between two polls", 1000, 150, std::nullopt, Decision::allow, false, { 0, 100, 200 } },
        // Written after the last poll, before the deadline passed: the final look still finds it.
        { "reply after the last poll", 250, 240, std::nullopt, Decision::allow, false, { 0, 100, 200, 250 } },
        { "no reply", 250, std::nullopt, std::nullopt, std::nullopt, false, { 0, 100, 200, 250 } },
        { "no wait at all", 0, 0, std::nullopt, Decision::allow, false, { 0 } },
        { "signal during a pause", 1000, 500, 150, std::nullopt, true, { 0, 100 } },
        { "signal before the first poll", 1000, 0, 0, std::nullopt, true, {} },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedWait wait { 0, c.replyAt, c.signalAt, {} };
        auto outcome = ApprovalHook::awaitReply(c.deadline, wait.seams());
        EXPECT_EQ(outcome.decision, c.expected);
        EXPECT_EQ(outcome.interrupted, c.interrupted);
        EXPECT_EQ(wait.reads, c.reads);
    }
}
