#include "agent-tool/HookInput.hpp"

#include <gtest/gtest.h>

using namespace AgentTool;
using nlohmann::json;

TEST(HookInput, ObjectsParseOtherShapesAreSalvaged)
{
    struct Case {
        std::string bytes;
        std::optional<json> expected;
    };
    Case const cases[] = {
        { R"({"session_id":"s","n":1})", json { { "session_id", "s" }, { "n", 1 } } },
        { R"({"session_id":"s","tool_name":"Bash","tool_input":{"command":"l)", json { { "session_id", "s" }, { "tool_name", "Bash" } } },
        { R"(["session_id","s"])", std::nullopt },
        { "", std::nullopt },
        { "null", std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(HookInput::parse(c.bytes), c.expected) << c.bytes;
}

TEST(HookInput, DeepNestingIsNotParsed)
{
    // Parsed, such input would crash every recursive walk that follows; its top-level strings remain.
    size_t const depth = 2'000'000;
    std::string deep = R"({"session_id":"deep","tool_name":"Mystery","tool_input":)" + std::string(depth, '[') + std::string(depth, ']') + "}";
    EXPECT_EQ(HookInput::parse(deep), (json { { "session_id", "deep" }, { "tool_name", "Mystery" } }));

    std::string const limit(PawletKit::JSON::maxNestingDepth - 1, '[');
    std::string const closing(PawletKit::JSON::maxNestingDepth - 1, ']');
    auto justInside = HookInput::parse(R"({"a":)" + limit + closing + "}");
    ASSERT_TRUE(justInside);
    EXPECT_TRUE((*justInside)["a"].is_array());
}

TEST(HookInput, NestingCountsOnlyStructure)
{
    struct Case {
        std::string bytes;
        bool deeperThanTwo;
    };
    Case const cases[] = {
        { R"({"a":{"b":1}})", false },
        { R"({"a":{"b":[1]}})", true },
        { R"({"a":"[[[[{{{{"})", false },
        { R"({"a":"\"[[[[","b":{}})", false },
        { R"({"a":"\\","b":[[]]})", true },
        { R"(]]]]{"a":{}})", false },
    };
    for (auto const& c : cases)
        EXPECT_EQ(PawletKit::JSON::firstBracketDeeperThan(c.bytes, 2).has_value(), c.deeperThanTwo) << c.bytes;
}
