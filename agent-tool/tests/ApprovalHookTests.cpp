#include "agent-tool/ApprovalHook.hpp"
#include "agent-tool/TerminationSignals.hpp"

#include <csignal>
#include <gtest/gtest.h>

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
