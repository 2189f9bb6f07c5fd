#include "agent-tool/CommandLine.hpp"

#include <gtest/gtest.h>
#include <vector>

using namespace AgentTool;
using Road = CommandLine::Road;

TEST(CommandLine, ChoosesTheRoadByTheFirstWord)
{
    struct Case {
        std::vector<char const*> arguments;
        CommandLine expected;
    };
    Case const cases[] = {
        { {}, { Road::usage, "", std::nullopt } },
        { { "help" }, { Road::usage, "", std::nullopt } },
        { { "Hook", "Stop" }, { Road::usage, "", std::nullopt } },
        { { "" }, { Road::usage, "", std::nullopt } },
        { { "hook" }, { Road::hookWithoutEvent, "", std::nullopt } },
        { { "hook", "" }, { Road::hookWithoutEvent, "", std::nullopt } },
        { { "hook", "Stop" }, { Road::hook, "Stop", std::nullopt } },
        { { "hook", "Notification", "permission_prompt", "extra" }, { Road::hook, "Notification", "permission_prompt" } },
        { { "hook", "PreToolUse", "" }, { Road::hook, "PreToolUse", "" } },
        { { "statusline", "ignored" }, { Road::statusLine, "", std::nullopt } },
        { { "selftest" }, { Road::selfTest, "", std::nullopt } },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments[0]);
        EXPECT_EQ(CommandLine::parse(c.arguments), c.expected);
    }
}
