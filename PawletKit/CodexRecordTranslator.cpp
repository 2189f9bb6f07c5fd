#include "PawletKit/CodexRecordTranslator.hpp"

#include "PawletKit/ASCII.hpp"
#include "PawletKit/HookEvent.hpp"

#include <algorithm>

namespace PawletKit::CodexRecordTranslator {

bool looksLikeApproval(std::string_view payloadType)
{
    // A plain case-insensitive substring search: std::regex recurses per character and a hostile
    // transcript can hold a payload type of megabytes.
    std::string const lower = ASCII::lowercased(payloadType);
    for (std::string_view word : { "approval", "permission", "request_user", "elicitation" })
        if (lower.find(word) != std::string::npos)
            return true;
    return false;
}

SpoolEvent makeEvent(std::string const& name, std::optional<std::string> matcher, JSON::Value const& extra,
    JSON::Value const& base, std::string const& sid, double ts)
{
    JSON::Value data = base;
    data["hook_event_name"] = name;
    for (auto const& [key, value] : extra.items())
        data[key] = value;
    return SpoolEvent(1, ts, name, std::move(matcher), sid, std::move(data));
}

namespace {

std::optional<JSON::Value> tokenUsage(JSON::Value const& payload)
{
    JSON::Value const* usage = JSON::lookup(&payload, { "info", "total_token_usage" });
    if (!usage || !usage->is_object())
        return std::nullopt;
    auto input = JSON::toDouble(JSON::member(usage, "input_tokens"));
    auto output = JSON::toDouble(JSON::member(usage, "output_tokens"));
    if (!input && !output) {
        auto total = JSON::toDouble(JSON::member(usage, "total_tokens"));
        if (!total)
            return std::nullopt;
        return JSON::Value { { "total_input_tokens", *total }, { "total_output_tokens", 0.0 } };
    }
    return JSON::Value { { "total_input_tokens", input.value_or(0) }, { "total_output_tokens", output.value_or(0) } };
}

struct Window {
    double minutes;
    JSON::Value reading;
};

std::optional<Window> window(JSON::Value const* limits, std::string_view key)
{
    JSON::Value const* object = JSON::member(limits, key);
    if (!object || !object->is_object())
        return std::nullopt;
    JSON::Value reading = JSON::Value::object();
    if (auto used = JSON::toDouble(JSON::member(object, "used_percent")))
        reading["used_percentage"] = *used;
    if (auto resets = JSON::timestamp(JSON::member(object, "resets_at")))
        reading["resets_at"] = *resets;
    if (reading.empty())
        return std::nullopt;
    return Window { JSON::toDouble(JSON::member(object, "window_minutes")).value_or(0), std::move(reading) };
}

}

std::vector<SpoolEvent> tokenCountEvents(JSON::Value const& payload, std::string const& sid, JSON::Value const& base, double ts)
{
    JSON::Value data = base;
    if (auto usage = tokenUsage(payload))
        data["context_window"] = std::move(*usage);

    bool reached = false;
    JSON::Value const* limits = JSON::member(&payload, "rate_limits");
    if (limits && limits->is_object()) {
        std::vector<Window> kept;
        for (auto key : { "primary", "secondary" })
            if (auto found = window(limits, key))
                kept.push_back(std::move(*found));
        JSON::Value named = JSON::Value::object();
        if (kept.size() == 1) {
            named[kept[0].minutes <= 600 ? "five_hour" : "seven_day"] = std::move(kept[0].reading);
        } else if (kept.size() == 2) {
            std::stable_sort(kept.begin(), kept.end(), [](Window const& a, Window const& b) { return a.minutes < b.minutes; });
            named["five_hour"] = std::move(kept[0].reading);
            named["seven_day"] = std::move(kept[1].reading);
        }
        if (!named.empty())
            data["rate_limits"] = std::move(named);
        auto reachedType = limits->find("rate_limit_reached_type");
        reached = reachedType != limits->end() && !reachedType->is_null();
    }

    std::vector<SpoolEvent> events;
    events.emplace_back(1, ts, std::string(SpoolEvent::statuslineEvent), std::nullopt, sid, std::move(data));
    if (reached)
        events.push_back(makeEvent(HookEvent::stopFailure, "rate_limit", JSON::Value { { "error_type", "rate_limit" } }, base, sid, ts));
    return events;
}

std::optional<std::vector<SpoolEvent>> events(std::string_view line, std::string const& sid, double now)
{
    JSON::Value record;
    try {
        record = JSON::parse(line);
    } catch (JSON::Value::exception const&) {
        return std::nullopt;
    }
    if (!record.is_object() || record.empty())
        return std::nullopt;
    auto typeMember = record.find("type");
    if (typeMember == record.end() || !typeMember->is_string())
        return std::nullopt;
    std::string const& type = typeMember->get_ref<std::string const&>();

    double ts = JSON::timestamp(JSON::member(&record, "timestamp")).value_or(now);
    JSON::Value const* payload = JSON::member(&record, "payload");
    if (payload && !payload->is_object())
        payload = nullptr;
    std::string_view payloadType;
    if (JSON::Value const* member = JSON::member(payload, "type"); member && member->is_string())
        payloadType = member->get_ref<std::string const&>();

    JSON::Value const base { { "session_id", sid }, { "source", sourceName } };
    JSON::Value const noExtra = JSON::Value::object();
    auto single = [&](std::string const& name) { return std::vector<SpoolEvent> { makeEvent(name, std::nullopt, noExtra, base, sid, ts) }; };

    if (type == "event_msg") {
        if (payloadType == "task_started")
            return single(HookEvent::userPromptSubmit);
        if (payloadType == "task_complete")
            return single(HookEvent::stop);
        if (payloadType == "item_completed")
            return single(HookEvent::postToolUse);
        if (payloadType == "token_count")
            return tokenCountEvents(*payload, sid, base, ts);
        if (!payloadType.empty() && looksLikeApproval(payloadType)) {
            JSON::Value const extra { { "notification_type", "permission_prompt" } };
            return std::vector<SpoolEvent> { makeEvent(HookEvent::notification, "permission_prompt", extra, base, sid, ts) };
        }
        return std::vector<SpoolEvent> {};
    }
    if (type == "response_item") {
        if (payloadType.ends_with("_call_output"))
            return single(HookEvent::postToolUse);
        if (payloadType.ends_with("_call"))
            return single(HookEvent::preToolUse);
    }
    return std::vector<SpoolEvent> {};
}

}
