#include "PawletKit/SpoolSanitizer.hpp"

#include "PawletKit/HookEvent.hpp"
#include "PawletKit/Text.hpp"

#include <cmath>

namespace PawletKit::SpoolSanitizer {

using KeySet = std::set<std::string, std::less<>>;

KeySet const& allowedKeys()
{
    static KeySet const keys {
        "session_id", "hook_event_name", "tool_name", "tool_use_id", "notification_type", "error_type", "source", "reason",
        "trigger", "permission_mode", "stop_hook_active", "agent_id", "agent_type", "cwd", "model", "cost", "context_window",
        "rate_limits", "version", "exceeds_200k_tokens", "approvalId", "proc"
    };
    return keys;
}

KeySet const& droppedKeys()
{
    static KeySet const keys {
        "tool_input", "tool_response", "message", "prompt", "transcript_path", "agent_transcript_path",
        "last_assistant_message", "custom_instructions", "error_details", "content", "messages", "title"
    };
    return keys;
}

KeySet const& errorEvents()
{
    static KeySet const events { HookEvent::stopFailure };
    return events;
}

namespace {

bool isContentKey(std::string_view key)
{
    constexpr std::string_view suffix = "transcript_path";
    if (droppedKeys().contains(key))
        return true;
    return key.size() >= suffix.size() && key.substr(key.size() - suffix.size()) == suffix;
}

}

JSON::Value sanitize(JSON::Value const& object, std::string_view event)
{
    JSON::Value result = JSON::Value::object();
    if (!object.is_object())
        return result;
    for (auto it = object.begin(); it != object.end(); ++it) {
        std::string const& key = it.key();
        if (isContentKey(key))
            continue;
        if (key == "error") {
            if (errorEvents().contains(event) && it->is_string())
                result[key] = Text::prefix(it->get_ref<std::string const&>(), maxErrorCharacters);
            continue;
        }
        if (!allowedKeys().contains(key))
            continue;
        auto clean = key == "proc" ? sanitizeProc(*it) : sanitizeValue(*it, 1);
        if (clean)
            result[key] = std::move(*clean);
    }
    return result;
}

std::optional<JSON::Value> sanitizeValue(JSON::Value const& value, int depth)
{
    switch (value.type()) {
    case JSON::Value::value_t::object: {
        if (depth >= maxDepth)
            return std::nullopt;
        JSON::Value result = JSON::Value::object();
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (isContentKey(it.key()) || it.key() == "error")
                continue;
            if (auto clean = sanitizeValue(*it, depth + 1))
                result[it.key()] = std::move(*clean);
        }
        return result;
    }
    case JSON::Value::value_t::string:
        return JSON::Value(Text::prefix(value.get_ref<std::string const&>(), maxStringCharacters));
    case JSON::Value::value_t::number_float:
        if (!std::isfinite(value.get<double>()))
            return std::nullopt;
        return value;
    case JSON::Value::value_t::number_integer:
    case JSON::Value::value_t::number_unsigned:
    case JSON::Value::value_t::boolean:
    case JSON::Value::value_t::null:
        return value;
    default:
        return std::nullopt;
    }
}

std::optional<JSON::Value> sanitizeProc(JSON::Value const& value)
{
    if (!value.is_object())
        return std::nullopt;
    JSON::Value result = JSON::Value::object();
    if (auto it = value.find("pids"); it != value.end() && it->is_array()) {
        JSON::Value pids = JSON::Value::array();
        for (auto const& element : *it) {
            if (pids.size() == maxProcEntries)
                break;
            if (!element.is_number())
                continue;
            double number = element.get<double>();
            if (!std::isfinite(number) || std::fabs(number) >= 9223372036854775808.0)
                continue;
            double truncated = std::trunc(number);
            if (truncated >= 1 && truncated <= 2147483647)
                pids.push_back(static_cast<int64_t>(truncated));
        }
        result["pids"] = std::move(pids);
    }
    if (auto it = value.find("names"); it != value.end() && it->is_array()) {
        JSON::Value names = JSON::Value::array();
        for (auto const& element : *it) {
            if (names.size() == maxProcEntries)
                break;
            if (element.is_string())
                names.push_back(Text::prefix(element.get_ref<std::string const&>(), maxProcNameCharacters));
        }
        result["names"] = std::move(names);
    }
    if (auto it = value.find("tty"); it != value.end()) {
        if (it->is_string())
            result["tty"] = Text::prefix(it->get_ref<std::string const&>(), maxProcTTYCharacters);
        else if (it->is_null())
            result["tty"] = nullptr;
    }
    if (result.empty())
        return std::nullopt;
    return result;
}

}
