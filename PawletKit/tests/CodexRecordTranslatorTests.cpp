#include "PawletKit/CodexRecordTranslator.hpp"
#include "PawletKit/CodexRolloutTailer.hpp"

#include "TestSupport.hpp"

#include <gtest/gtest.h>

using namespace PawletKit;

namespace {

constexpr double now = 1700000500;
std::string const sid = "codex:s";

struct Expected {
    std::string ev;
    std::optional<std::string> m;
    double ts;
    char const* data;
};

SpoolEvent expectedEvent(Expected const& e)
{
    return SpoolEvent(1, e.ts, e.ev, e.m, sid, JSON::parse(e.data));
}

std::string hookData(std::string const& name)
{
    return R"({"hook_event_name":")" + name + R"(","session_id":"codex:s","source":"codex"})";
}

void expectTranslation(std::string const& line, std::vector<Expected> const& expected)
{
    SCOPED_TRACE(line.size() > 300 ? line.substr(0, 300) + "…" : line);
    auto events = CodexRecordTranslator::events(line, sid, now);
    ASSERT_TRUE(events.has_value());
    ASSERT_EQ(events->size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ((*events)[i], expectedEvent(expected[i]));
}

}

TEST(CodexRecordTranslator, RecordAndPayloadTypesChooseTheEvent)
{
    auto const prompt = hookData("UserPromptSubmit");
    auto const stop = hookData("Stop");
    auto const post = hookData("PostToolUse");
    auto const pre = hookData("PreToolUse");
    std::string const notification = R"({"hook_event_name":"Notification","notification_type":"permission_prompt","session_id":"codex:s","source":"codex"})";
    struct Case {
        std::string line;
        std::vector<Expected> expected;
    };
    std::vector<Case> const cases = {
        { R"({"type":"event_msg","payload":{"type":"task_started"}})", { { "UserPromptSubmit", std::nullopt, now, prompt.c_str() } } },
        { R"({"type":"event_msg","timestamp":"2026-03-07T10:00:00.250Z","payload":{"type":"task_complete","last":"x"}})",
            { { "Stop", std::nullopt, 1772877600.25, stop.c_str() } } },
        { R"({"type":"event_msg","timestamp":"2026-03-07T10:00:00Z","payload":{"type":"item_completed"}})",
            { { "PostToolUse", std::nullopt, 1772877600, post.c_str() } } },
        { R"({"type":"event_msg","timestamp":1700000000123,"payload":{"type":"item_completed","tool":"shell","output":"secret"}})",
            { { "PostToolUse", std::nullopt, 1700000000.123, post.c_str() } } },
        { R"({"type":"event_msg","timestamp":"1700000001","payload":{"type":"task_started"}})",
            { { "UserPromptSubmit", std::nullopt, 1700000001, prompt.c_str() } } },
        { R"({"type":"event_msg","timestamp":"yesterday","payload":{"type":"task_started"}})",
            { { "UserPromptSubmit", std::nullopt, now, prompt.c_str() } } },
        { R"({"type":"event_msg","timestamp":-5,"payload":{"type":"task_started"}})",
            { { "UserPromptSubmit", std::nullopt, now, prompt.c_str() } } },
        // Anything that asks the user, in any letter case, but not the listed types.
        { R"({"type":"event_msg","payload":{"type":"shell_approval"}})", { { "Notification", "permission_prompt", now, notification.c_str() } } },
        { R"({"type":"event_msg","payload":{"type":"SHELL_APPROVAL"}})", { { "Notification", "permission_prompt", now, notification.c_str() } } },
        { R"({"type":"event_msg","payload":{"type":"NeedsPermission"}})", { { "Notification", "permission_prompt", now, notification.c_str() } } },
        { R"({"type":"event_msg","payload":{"type":"ask_request_user_now"}})", { { "Notification", "permission_prompt", now, notification.c_str() } } },
        { R"({"type":"event_msg","payload":{"type":"elicitation"}})", { { "Notification", "permission_prompt", now, notification.c_str() } } },
        { R"({"type":"event_msg","payload":{"type":"chat_text"}})", {} },
        { R"({"type":"event_msg","payload":{"type":""}})", {} },
        { R"({"type":"event_msg","payload":{"type":7}})", {} },
        { R"({"type":"event_msg","payload":"task_started"})", {} },
        { R"({"type":"event_msg"})", {} },
        { R"({"type":"event_msg","payload":{"type":"Task_Started"}})", {} },
        { R"({"type":"response_item","payload":{"type":"tool_call"}})", { { "PreToolUse", std::nullopt, now, pre.c_str() } } },
        { R"({"type":"response_item","payload":{"type":"function_call","arguments":"rm -rf /"}})", { { "PreToolUse", std::nullopt, now, pre.c_str() } } },
        { R"({"type":"response_item","payload":{"type":"tool_call_output"}})", { { "PostToolUse", std::nullopt, now, post.c_str() } } },
        { R"({"type":"response_item","payload":{"type":"call"}})", {} },
        { R"({"type":"response_item","payload":{"type":"chat_text"}})", {} },
        { R"({"type":"response_item","payload":{"type":"permission_request"}})", {} },
        { R"({"type":"session_meta","payload":{"type":"task_started"}})", {} },
        { R"({"type":"Event_Msg","payload":{"type":"task_started"}})", {} },
        { "  {\"type\":\"event_msg\",\"payload\":{\"type\":\"task_started\"}}\r", { { "UserPromptSubmit", std::nullopt, now, prompt.c_str() } } },
    };
    for (auto const& c : cases)
        expectTranslation(c.line, c.expected);
}

TEST(CodexRecordTranslator, LinesThatAreNoRecordAreCountedAsDropped)
{
    std::string deep(200000, '[');
    deep += std::string(200000, ']');
    std::string const lines[] = {
        "[1,2]",
        R"("task_started")",
        "42",
        "null",
        "{}",
        R"({"type":5,"payload":{"type":"task_started"}})",
        R"({"type":null})",
        R"({"payload":{"type":"task_started"}})",
        R"({"type":"event_msg","payload":{"type":"task_started"})",
        R"({"type":"event_msg"} {"type":"event_msg"})",
        "not json",
        "\xff\xfe",
        "{\"type\":\"event_msg\",\"payload\":{\"type\":\"task_\xc3\x28started\"}}",
        deep,
    };
    CodexRolloutTailer tailer("/nonexistent");
    for (auto const& line : lines) {
        SCOPED_TRACE(line.substr(0, 80));
        EXPECT_FALSE(CodexRecordTranslator::events(line, sid, now).has_value());
    }
    for (auto const& line : lines)
        EXPECT_TRUE(tailer.events(line, sid, now).empty());
    EXPECT_EQ(tailer.droppedLines(), static_cast<int64_t>(std::size(lines)));

    // Records that simply mean nothing are not dropped lines.
    tailer.events(R"({"type":"session_meta"})", sid, now);
    tailer.events(R"({"type":"event_msg","payload":{"type":"chat_text"}})", sid, now);
    EXPECT_EQ(tailer.droppedLines(), static_cast<int64_t>(std::size(lines)));
}

TEST(CodexRecordTranslator, HugeRecordsAreReadLikeSmallOnes)
{
    std::string const padding(4 * 1024 * 1024, 'x');
    expectTranslation(R"({"type":"event_msg","payload":{"type":"task_started","text":")" + padding + R"("}})",
        { { "UserPromptSubmit", std::nullopt, now, hookData("UserPromptSubmit").c_str() } });
    std::string const notification = R"({"hook_event_name":"Notification","notification_type":"permission_prompt","session_id":"codex:s","source":"codex"})";
    expectTranslation(R"({"type":"event_msg","payload":{"type":")" + std::string(1024 * 1024, 'y') + R"(_approval"}})",
        { { "Notification", "permission_prompt", now, notification.c_str() } });
    expectTranslation(R"({"type":"event_msg","payload":{"type":")" + std::string(1024 * 1024, 'y') + R"("}})", {});
}

TEST(CodexRecordTranslator, TokenCountsBecomeStatusLines)
{
    auto tokenLine = [](std::string const& payload) {
        return R"({"type":"event_msg","timestamp":1700000000,"payload":{"type":"token_count",)" + payload + "}}";
    };
    constexpr double ts = 1700000000;
    char const* stopFailure = R"({"error_type":"rate_limit","hook_event_name":"StopFailure","session_id":"codex:s","source":"codex"})";
    struct Case {
        std::string payload;
        std::vector<Expected> expected;
    };
    std::vector<Case> const cases = {
        { R"("info":{"total_token_usage":{"input_tokens":1200,"output_tokens":300,"total_tokens":1500}})",
            { { "statusline", std::nullopt, ts,
                R"({"context_window":{"total_input_tokens":1200,"total_output_tokens":300},"session_id":"codex:s","source":"codex"})" } } },
        { R"("info":{"total_token_usage":{"output_tokens":300}})",
            { { "statusline", std::nullopt, ts,
                R"({"context_window":{"total_input_tokens":0,"total_output_tokens":300},"session_id":"codex:s","source":"codex"})" } } },
        { R"("info":{"total_token_usage":{"total_tokens":1500}})",
            { { "statusline", std::nullopt, ts,
                R"({"context_window":{"total_input_tokens":1500,"total_output_tokens":0},"session_id":"codex:s","source":"codex"})" } } },
        { R"("info":{"total_token_usage":{"input_tokens":"1200","output_tokens":true}})",
            { { "statusline", std::nullopt, ts,
                R"({"context_window":{"total_input_tokens":1200,"total_output_tokens":0},"session_id":"codex:s","source":"codex"})" } } },
        { R"("info":{"total_token_usage":{"cached":5}})", { { "statusline", std::nullopt, ts, R"({"session_id":"codex:s","source":"codex"})" } } },
        { R"("info":{"total_token_usage":[1200]})", { { "statusline", std::nullopt, ts, R"({"session_id":"codex:s","source":"codex"})" } } },
        { R"("info":null,"rate_limits":null)", { { "statusline", std::nullopt, ts, R"({"session_id":"codex:s","source":"codex"})" } } },
        { R"("other":1)", { { "statusline", std::nullopt, ts, R"({"session_id":"codex:s","source":"codex"})" } } },
        // Two windows: the shorter is the five-hour one, whichever key it came under.
        { R"("rate_limits":{"primary":{"used_percent":42,"window_minutes":300,"resets_at":1700003600},"secondary":{"used_percent":10,"window_minutes":10080,"resets_at":"2026-03-07T10:00:00Z"}})",
            { { "statusline", std::nullopt, ts,
                R"({"rate_limits":{"five_hour":{"resets_at":1700003600,"used_percentage":42},"seven_day":{"resets_at":1772877600,"used_percentage":10}},"session_id":"codex:s","source":"codex"})" } } },
        { R"("rate_limits":{"primary":{"used_percent":10,"window_minutes":10080},"secondary":{"used_percent":42,"window_minutes":300}})",
            { { "statusline", std::nullopt, ts,
                R"({"rate_limits":{"five_hour":{"used_percentage":42},"seven_day":{"used_percentage":10}},"session_id":"codex:s","source":"codex"})" } } },
        { R"("rate_limits":{"primary":{"used_percent":1,"window_minutes":20000},"secondary":{"used_percent":2,"window_minutes":20000}})",
            { { "statusline", std::nullopt, ts,
                R"({"rate_limits":{"five_hour":{"used_percentage":1},"seven_day":{"used_percentage":2}},"session_id":"codex:s","source":"codex"})" } } },
        // One window: named by its length.
        { R"("rate_limits":{"primary":{"used_percent":5,"window_minutes":600}})",
            { { "statusline", std::nullopt, ts, R"({"rate_limits":{"five_hour":{"used_percentage":5}},"session_id":"codex:s","source":"codex"})" } } },
        { R"("rate_limits":{"secondary":{"used_percent":5,"window_minutes":601}})",
            { { "statusline", std::nullopt, ts, R"({"rate_limits":{"seven_day":{"used_percentage":5}},"session_id":"codex:s","source":"codex"})" } } },
        { R"("rate_limits":{"primary":{"resets_at":1700003600000}})",
            { { "statusline", std::nullopt, ts, R"({"rate_limits":{"five_hour":{"resets_at":1700003600}},"session_id":"codex:s","source":"codex"})" } } },
        // A window with nothing to tell is ignored, whatever its length.
        { R"("rate_limits":{"primary":{"window_minutes":300},"secondary":{"used_percent":7,"window_minutes":10080}})",
            { { "statusline", std::nullopt, ts, R"({"rate_limits":{"seven_day":{"used_percentage":7}},"session_id":"codex:s","source":"codex"})" } } },
        { R"("rate_limits":{"primary":{"window_minutes":300,"used_percent":"lots"}})",
            { { "statusline", std::nullopt, ts, R"({"session_id":"codex:s","source":"codex"})" } } },
        { R"("rate_limits":{"primary":"full"})", { { "statusline", std::nullopt, ts, R"({"session_id":"codex:s","source":"codex"})" } } },
        // Hitting the limit adds a StopFailure that carries no readings.
        { R"("rate_limits":{"rate_limit_reached_type":null,"primary":{"used_percent":100,"window_minutes":300}})",
            { { "statusline", std::nullopt, ts,
                R"({"rate_limits":{"five_hour":{"used_percentage":100}},"session_id":"codex:s","source":"codex"})" } } },
        { R"("info":{"total_token_usage":{"input_tokens":1}},"rate_limits":{"rate_limit_reached_type":"five_hour","primary":{"used_percent":100,"window_minutes":300}})",
            { { "statusline", std::nullopt, ts,
                  R"({"context_window":{"total_input_tokens":1,"total_output_tokens":0},"rate_limits":{"five_hour":{"used_percentage":100}},"session_id":"codex:s","source":"codex"})" },
                { "StopFailure", "rate_limit", ts, stopFailure } } },
        { R"("rate_limits":{"rate_limit_reached_type":""})",
            { { "statusline", std::nullopt, ts, R"({"session_id":"codex:s","source":"codex"})" }, { "StopFailure", "rate_limit", ts, stopFailure } } },
        { R"("rate_limits":{"rate_limit_reached_type":false})",
            { { "statusline", std::nullopt, ts, R"({"session_id":"codex:s","source":"codex"})" }, { "StopFailure", "rate_limit", ts, stopFailure } } },
        { R"("rate_limit_reached_type":"five_hour")", { { "statusline", std::nullopt, ts, R"({"session_id":"codex:s","source":"codex"})" } } },
    };
    for (auto const& c : cases)
        expectTranslation(tokenLine(c.payload), c.expected);
}
