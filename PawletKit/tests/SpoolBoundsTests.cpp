#include "PawletKit/LenientJSON.hpp"
#include "PawletKit/SpoolEvent.hpp"
#include "PawletKit/SpoolReader.hpp"
#include "PawletKit/SpoolSanitizer.hpp"

#include "TestSupport.hpp"

#include <gtest/gtest.h>

using namespace PawletKit;
using JSON::Value;
using TestSupport::TemporaryDirectory;
using TestSupport::writeFile;

namespace {

constexpr size_t oneMiB = 1 << 20;

// What the agent tool does with the bytes a hook hands it: parse, or salvage what it can.
SpoolEvent eventFromHookInput(std::string_view bytes, std::string const& name)
{
    Value input;
    try {
        input = JSON::parse(bytes);
    } catch (Value::exception const&) {
    }
    if (!input.is_object())
        input = LenientJSON::extractStrings(bytes, LenientJSON::defaultKeys());
    return SpoolEvent::make(name, std::nullopt, &input, 1700000000);
}

std::string repeated(std::string_view piece, size_t times)
{
    std::string result;
    result.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i)
        result += piece;
    return result;
}

int depthOf(Value const& value)
{
    int deepest = 0;
    if (value.is_object())
        for (auto const& element : value)
            deepest = std::max(deepest, depthOf(element));
    return value.is_object() ? deepest + 1 : 0;
}

}

// A hook input of a mebibyte, nested or broken, still becomes one bounded event line.
TEST(SpoolBounds, MebibyteHookInputBecomesOneBoundedLine)
{
    size_t levels = oneMiB / 5;
    struct Case {
        char const* name;
        std::string input;
        char const* expectedData;
    };
    Case const cases[] = {
        { "objects nested to the end",
            R"({"session_id":"s1","cost":)" + repeated(R"({"a":)", levels) + "1" + std::string(levels, '}') + "}",
            // Too deep to parse: what salvage finds at the top level.
            R"({"session_id":"s1"})" },
        { "arrays nested to the end",
            R"({"session_id":"s1","rate_limits":{"x":)" + std::string(oneMiB / 2, '[') + std::string(oneMiB / 2, ']') + "}}",
            R"({"session_id":"s1"})" },
        { "cut short inside a long prompt",
            R"({"session_id":"s1","cwd":"/w","prompt":")" + std::string(oneMiB, 'p'),
            R"({"cwd":"/w","session_id":"s1"})" },
        { "opening brackets only", std::string(oneMiB, '['), "{}" },
        { "unbalanced nesting before the members",
            repeated(R"({"a":)", levels) + R"("x", "session_id":"s1")",
            "{}" },
        { "a huge string member",
            R"({"session_id":"s1","cwd":")" + std::string(oneMiB, 'c') + "\"}",
            nullptr },
        { "a wide object",
            R"({"session_id":"s1","rate_limits":{)" + [&] {
                std::string members;
                for (int i = 0; i < 40000; ++i)
                    members += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":\"vvvvvvvvvvvvvvvvvv\"";
                return members;
            }() + "}}",
            "{}" },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_GE(c.input.size(), oneMiB);
        SpoolEvent event = eventFromHookInput(c.input, "PreToolUse");
        std::string line = event.jsonLine();

        EXPECT_LT(line.size(), SpoolEvent::maxLineBytes + 1);
        EXPECT_EQ(line.find('\n'), line.size() - 1);
        auto decoded = SpoolEvent::fromJSON(JSON::parse(line));
        ASSERT_TRUE(decoded);
        EXPECT_LE(depthOf(decoded->data), SpoolSanitizer::maxDepth);
        if (c.expectedData)
            EXPECT_EQ(decoded->data, Value::parse(c.expectedData));
        else
            EXPECT_EQ(decoded->stringAt({ "cwd" }), std::string(400, 'c'));
    }
}

// Whatever else writes to the file, the reader stays bounded: a complete line nested a mebibyte deep is
// dropped, without exhausting the stack, and the lines after it are read.
TEST(SpoolBounds, ReaderSurvivesAMebibyteLine)
{
    TemporaryDirectory temporary;
    Paths paths = Paths::withBase(temporary.path());
    size_t levels = oneMiB / 5;
    std::string deep = R"({"ev":"deep","ts":1,"data":)" + repeated(R"({"a":)", levels) + "1" + std::string(levels, '}') + "}\n";
    std::string good = SpoolEvent(1, 2, "after", std::nullopt, std::nullopt, Value::object()).jsonLine();
    writeFile(paths.spool(), deep + std::string(oneMiB, '[') + "\n" + good);

    SpoolReader reader(paths, 8 * oneMiB);
    auto events = reader.poll();

    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].ev, "after");
    EXPECT_EQ(reader.droppedLines(), 2);
    EXPECT_EQ(reader.offset(), deep.size() + oneMiB + 1 + good.size());

    // Nesting as deep as writers make it is read as usual.
    std::string usual = R"({"data":{"rate_limits":{"a":{"b":{"c":1}}},"proc":{"pids":[1]}},"ev":"usual","ts":3,"v":1})";
    ASSERT_TRUE(SpoolReader::decodeLine(usual));
    EXPECT_EQ(SpoolReader::decodeLine(usual)->doubleAt({ "rate_limits", "a", "b", "c" }), 1);
}
