#include "PawletKit/SpoolEvent.hpp"

#include <cmath>
#include <gtest/gtest.h>

using namespace PawletKit;
using JSON::Value;

namespace {

std::optional<SpoolEvent> decode(std::string_view line)
{
    return SpoolEvent::fromJSON(JSON::parse(line));
}

}

TEST(SpoolEvent, FactoryBuildsTheRecordFromHookInput)
{
    Value input = Value::parse(R"({"session_id":"abc","tool_name":"Bash","tool_input":{"command":"ls"},"cwd":"/w"})");
    auto event = SpoolEvent::make("PreToolUse", std::string("Bash"), &input, 1700000000.5);
    EXPECT_EQ(event.jsonLine(),
        R"({"data":{"cwd":"/w","session_id":"abc","tool_name":"Bash"},"ev":"PreToolUse","m":"Bash","sid":"abc","ts":1700000000.5,"v":1})"
        "\n");

    auto bare = SpoolEvent::make("Stop", std::string(""), nullptr, 5);
    EXPECT_EQ(bare.jsonLine(), R"({"data":{},"ev":"Stop","m":null,"sid":null,"ts":5.0,"v":1})"
                               "\n");

    Value numeric = Value::parse(R"({"session_id":42})");
    auto withNumber = SpoolEvent::make("Stop", std::nullopt, &numeric, 5);
    EXPECT_EQ(withNumber.sid, "42");
    EXPECT_EQ(withNumber.data["session_id"], 42);

    Value longId { { "session_id", std::string(500, 'x') } };
    EXPECT_EQ(SpoolEvent::make("Stop", std::nullopt, &longId, 5).sid, std::string(400, 'x'));

    Value boolId = Value::parse(R"({"session_id":true})");
    EXPECT_EQ(SpoolEvent::make("Stop", std::nullopt, &boolId, 5).sid, std::nullopt);
}

TEST(SpoolEvent, LineLimitAndFallbacks)
{
    // Find the padding that makes the line exactly 3899 bytes before its line feed.
    SpoolEvent event(1, 1, "E", std::nullopt, std::nullopt, Value::object());
    size_t const overhead = event.jsonLine().size() - 1 + std::string(R"("cwd":"")").size();
    size_t const padding = SpoolEvent::maxLineBytes - 1 - overhead;
    event.data["cwd"] = std::string(padding, 'a');
    EXPECT_EQ(event.jsonLine().size(), SpoolEvent::maxLineBytes);
    EXPECT_NE(event.jsonLine().find("aaa"), std::string::npos);

    // One byte more: the sanitiser runs and cuts the string to 400 characters.
    event.data["cwd"] = std::string(padding + 1, 'a');
    auto cut = event.jsonLine();
    EXPECT_EQ(JSON::parse(cut)["data"]["cwd"].get<std::string>().size(), 400u);

    // Data that stays too large after sanitising is dropped.
    Value big = Value::object();
    for (int i = 0; i < 20; ++i)
        big["k" + std::to_string(i)] = std::string(400, 'b');
    event.data = { { "cost", big } };
    EXPECT_EQ(JSON::parse(event.jsonLine())["data"], Value::object());

    event.ts = std::nan("");
    EXPECT_EQ(event.jsonLine(), std::string(SpoolEvent::fallbackLine) + "\n");
    auto fallback = decode(SpoolEvent::fallbackLine);
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback->ev, "invalid");
}

TEST(SpoolEvent, EncodingIgnoresInsertionOrder)
{
    SpoolEvent a(1, 2, "E", std::nullopt, std::nullopt, Value::parse(R"({"b":1,"a":{"y":1,"x":2}})"));
    SpoolEvent b(1, 2, "E", std::nullopt, std::nullopt, Value::parse(R"({"a":{"x":2,"y":1},"b":1})"));
    EXPECT_EQ(a.jsonLine(), b.jsonLine());
    EXPECT_EQ(a, b);
}

TEST(SpoolEvent, DecodingIsLenient)
{
    struct Case {
        char const* line;
        bool decodes;
    };
    Case const cases[] = {
        { R"({"ev":"","ts":1})", false },
        { R"({"ev":"E","ts":true})", false },
        { R"({"ev":"E","ts":"soon"})", false },
        { R"({"ev":"E"})", false },
        { R"({"ev":3,"ts":1})", false },
        { R"([1,2])", false },
        { R"({"ev":"E","ts":"1700.5"})", true },
    };
    for (auto const& c : cases)
        EXPECT_EQ(decode(c.line).has_value(), c.decodes) << c.line;

    auto event = decode(R"({"ev":"E","ts":"1700.5","data":[1],"sid":7,"m":false,"extra":1})");
    ASSERT_TRUE(event);
    EXPECT_EQ(event->v, 1);
    EXPECT_EQ(event->ts, 1700.5);
    EXPECT_EQ(event->data, Value::object());
    EXPECT_EQ(event->sid, "7");
    EXPECT_EQ(event->m, std::nullopt);
}

TEST(SpoolEvent, RoundTripsThroughItsLine)
{
    Value input = Value::parse(R"({"session_id":"s/1","notification_type":"permission_prompt","rate_limits":{"five_hour":{"used_percentage":97.5}}})");
    auto event = SpoolEvent::make("Notification", std::nullopt, &input, 1700000000.123456);
    auto line = event.jsonLine();
    ASSERT_EQ(line.back(), '\n');
    EXPECT_NE(line.find("s/1"), std::string::npos);
    auto back = decode(std::string_view(line).substr(0, line.size() - 1));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, event);
    EXPECT_EQ(back->doubleAt({ "rate_limits", "five_hour", "used_percentage" }), 97.5);
}

TEST(SpoolEvent, NotificationType)
{
    SpoolEvent event(1, 1, "Notification", std::nullopt, std::nullopt, Value::parse(R"({"notification_type":"","matcher":"x"})"));
    EXPECT_EQ(event.notificationType(), "");
    event.data.erase("notification_type");
    EXPECT_EQ(event.notificationType(), "x");
    event.m = "permission_prompt";
    EXPECT_EQ(event.notificationType(), "permission_prompt");
    event.m = "";
    event.data = Value::object();
    EXPECT_EQ(event.notificationType(), std::nullopt);
}

// However long the session id, name or matcher, no line but the fallback reaches the line limit, so a
// reader can tell a line still being written from a broken one by its length alone.
TEST(SpoolEvent, OverlongFieldsAreCutToKeepTheLineBelowItsLimit)
{
    std::string const acute = "\xCC\x81";
    auto repeated = [](std::string const& unit, size_t count) {
        std::string text;
        for (size_t i = 0; i < count; ++i)
            text += unit;
        return text;
    };
    // One character of 60 KB: a base letter and 30,000 combining marks.
    std::string const hugeCharacter = "e" + repeated(acute, 30'000);
    struct Case {
        char const* name;
        std::string event;
        std::optional<std::string> matcher;
        std::string sessionId;
        std::optional<std::string> expectedSession;
        std::string expectedEvent;
        // The session id is in the data as well; only a short one leaves the data small enough to keep.
        bool dataKept;
    };
    Case const cases[] = {
        { "one overlong character as session id", "PreToolUse", std::nullopt, hugeCharacter, std::nullopt, "PreToolUse", false },
        { "400 characters of 21 code points each", "PreToolUse", std::nullopt, repeated("e" + repeated(acute, 20), 400),
            repeated("e" + repeated(acute, 20), 49), "PreToolUse", false },
        { "huge event name and matcher", std::string(100'000, 'E'), std::string(100'000, 'M'), "s", "s", std::string(256, 'E'), true },
        { "event name of one overlong character", hugeCharacter, std::nullopt, "s", "s", "invalid", true },
        // 2048 bytes hold 341 of them, written as \u0001.
        { "control characters count as their escapes", "PreToolUse", std::nullopt, std::string(399, '\x01') + hugeCharacter,
            std::string(341, '\x01'), "PreToolUse", false },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        Value input { { "session_id", c.sessionId }, { "cwd", "/w" } };
        std::string line = SpoolEvent::make(c.event, c.matcher, &input, 1700000000.5).jsonLine();
        EXPECT_LT(line.size(), SpoolEvent::maxLineBytes + 1);
        EXPECT_EQ(line.find('\n'), line.size() - 1);
        auto decoded = decode(std::string_view(line).substr(0, line.size() - 1));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->ev, c.expectedEvent);
        EXPECT_EQ(decoded->sid, c.expectedSession);
        if (c.matcher) {
            EXPECT_EQ(decoded->m, std::string(256, 'M'));
        }
        EXPECT_EQ(decoded->stringAt({ "cwd" }), c.dataKept ? std::optional<std::string>("/w") : std::nullopt);
    }
}
