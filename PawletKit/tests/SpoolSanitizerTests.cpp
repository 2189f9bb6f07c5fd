#include "PawletKit/LenientJSON.hpp"
#include "PawletKit/SpoolSanitizer.hpp"

#include <gtest/gtest.h>

using namespace PawletKit;
using JSON::Value;

TEST(SpoolSanitizer, KeepsOnlyAllowedMembersAndRemovesContentEverywhere)
{
    struct Case {
        char const* event;
        char const* input;
        char const* expected;
    };
    std::string const error100(100, 'e');
    Case const cases[] = {
        { "PreToolUse", R"({"tool_input":{"a":1},"tool_name":"Bash","unknown":1})", R"({"tool_name":"Bash"})" },
        { "Stop", R"({"cost":{"tool_input":1,"agent_transcript_path":"x","my_transcript_path":"y","keep":2}})", R"({"cost":{"keep":2}})" },
        { "Stop", R"({"cost":[1,2],"rate_limits":{"extra":{"z":1}}})", R"({"rate_limits":{"extra":{"z":1}}})" },
        { "Stop", R"({"error":"boom"})", R"({})" },
        { "StopFailure", R"({"error":5})", R"({})" },
        { "StopFailure", R"({"cost":{"error":"x","n":null}})", R"({"cost":{"n":null}})" },
        { "Stop", R"({"rate_limits":{"a":{"b":{"c":{"d":1},"e":"s","f":true}},"g":1}})",
            R"({"rate_limits":{"a":{"b":{"e":"s","f":true}},"g":1}})" },
        { "Stop", R"({"transcript_path":"/x","session_id":"s"})", R"({"session_id":"s"})" },
        { "Stop", R"({"proc":{"tty":3}})", R"({})" },
        { "Stop", R"({"proc":{"pids":[]}})", R"({"proc":{"pids":[]}})" },
        { "Stop", R"({"proc":{"pids":[0,1.9,true,-4,2147483648,12],"tty":null}})", R"({"proc":{"pids":[1,12],"tty":null}})" },
        { "Stop", R"({"proc":{"pids":[1,2,3,4,5,6,7,8,9,10],"names":"zsh"}})", R"({"proc":{"pids":[1,2,3,4,5,6,7,8]}})" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(SpoolSanitizer::sanitize(Value::parse(c.input), c.event), Value::parse(c.expected)) << c.input;

    Value failure { { "error", error100 } };
    EXPECT_EQ(SpoolSanitizer::sanitize(failure, "StopFailure")["error"], std::string(80, 'e'));
}

TEST(SpoolSanitizer, CutsStringsByCharacters)
{
    std::string const accented = "\xC3\xA9"; // é, two bytes
    std::string exactly400;
    for (int i = 0; i < 400; ++i)
        exactly400 += accented;
    Value input { { "cwd", exactly400 + "x" }, { "model", exactly400 } };
    auto clean = SpoolSanitizer::sanitize(input, "Stop");
    EXPECT_EQ(clean["cwd"], exactly400);
    EXPECT_EQ(clean["model"], exactly400);

    Value names { { "names", { std::string(70, 'n'), 5, "zsh" } }, { "tty", std::string(40, 't') } };
    auto proc = SpoolSanitizer::sanitizeProc(names);
    ASSERT_TRUE(proc);
    EXPECT_EQ((*proc)["names"], Value({ std::string(64, 'n'), "zsh" }));
    EXPECT_EQ((*proc)["tty"], std::string(32, 't'));
}

TEST(SpoolSanitizer, BoundsHugeHostileInput)
{
    // 1 MiB of nesting: the parser refuses it and salvage finds nothing at the top level.
    std::string deep = std::string(1 << 20, '{');
    EXPECT_ANY_THROW(JSON::parse(deep));
    EXPECT_EQ(LenientJSON::extractStrings(deep, LenientJSON::defaultKeys()), Value::object());

    // Deep but valid nesting is cut at the depth limit.
    std::string nested;
    for (int i = 0; i < 500; ++i)
        nested += R"({"k":)";
    nested += "1" + std::string(500, '}');
    Value wrapped { { "cost", JSON::parse(nested) } };
    auto clean = SpoolSanitizer::sanitize(wrapped, "Stop");
    EXPECT_EQ(clean, Value::parse(R"({"cost":{"k":{"k":{}}}})"));
}

TEST(LenientJSON, SalvagesTopLevelStrings)
{
    struct Case {
        std::string input;
        char const* expected;
    };
    Case const cases[] = {
        { R"({"session_id":"abc","prompt":"a very long prompt that brea)", R"({"session_id":"abc"})" },
        { R"({"session_id":42,"cwd":"/w"})", R"({"cwd":"/w"})" },
        { R"({"nested":{"session_id":"x"},"tool_name":"Edit")", R"({"tool_name":"Edit"})" },
        { R"({"cwd":"a\u00e9b\n\"q\"\/"})", R"({"cwd":"a?b\n\"q\"/"})" },
        { R"({"cwd":"ab\u00)", R"({})" },
        { "", R"({})" },
        { R"({"cwd":"one","cwd":"two"})", R"({"cwd":"two"})" },
        { R"({"cwd" "x"})", R"({})" },
        { R"(]]{"cwd":"neg"})", R"({})" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(LenientJSON::extractStrings(c.input, LenientJSON::defaultKeys()), Value::parse(c.expected)) << c.input;

    std::string longValue = R"({"cwd":")" + std::string(1000, 'c') + "\"}";
    EXPECT_EQ(LenientJSON::extractStrings(longValue, LenientJSON::defaultKeys())["cwd"], std::string(400, 'c'));
    std::string invalid = "{\"cwd\":\"a\xff\"}";
    EXPECT_EQ(LenientJSON::extractStrings(invalid, LenientJSON::defaultKeys())["cwd"], "a\xEF\xBF\xBD");
}
