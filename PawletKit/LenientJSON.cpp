#include "PawletKit/LenientJSON.hpp"

#include "PawletKit/Text.hpp"

#include <optional>

namespace PawletKit::LenientJSON {

std::set<std::string, std::less<>> const& defaultKeys()
{
    static std::set<std::string, std::less<>> const keys {
        "session_id", "hook_event_name", "tool_name", "notification_type", "cwd", "error_type", "tool_use_id"
    };
    return keys;
}

namespace {

// Reads the string whose opening quote is at `start`; nothing when the bytes end before it closes.
// Escapes are only approximated: this is salvage, not parsing.
std::optional<std::string> readString(std::string_view bytes, size_t start, size_t& next)
{
    std::string collected;
    size_t i = start + 1;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (c == '"') {
            next = i + 1;
            return collected;
        }
        if (c != '\\') {
            collected.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 >= bytes.size())
            return std::nullopt;
        char escaped = bytes[i + 1];
        if (escaped == 'n') {
            collected.push_back('\n');
            i += 2;
        } else if (escaped == 't') {
            collected.push_back('\t');
            i += 2;
        } else if (escaped == 'u') {
            if (i + 6 > bytes.size())
                return std::nullopt;
            collected.push_back('?');
            i += 6;
        } else {
            collected.push_back(escaped);
            i += 2;
        }
    }
    return std::nullopt;
}

}

JSON::Value extractStrings(std::string_view bytes, std::set<std::string, std::less<>> const& keys)
{
    JSON::Value result = JSON::Value::object();
    long depth = 0;
    std::optional<std::string> pendingKey;
    bool expectingValue = false;
    auto clear = [&] {
        pendingKey.reset();
        expectingValue = false;
    };
    size_t i = 0;
    while (i < bytes.size()) {
        char c = bytes[i];
        switch (c) {
        case '{':
        case '[':
            ++depth;
            clear();
            ++i;
            break;
        case '}':
        case ']':
            --depth;
            clear();
            ++i;
            break;
        case '"': {
            size_t next = 0;
            auto text = readString(bytes, i, next);
            if (!text)
                return result;
            i = next;
            if (depth != 1)
                break;
            if (!expectingValue) {
                pendingKey = std::move(*text);
            } else {
                if (keys.contains(*pendingKey))
                    result[*pendingKey] = Text::prefix(Text::replacingInvalidUTF8(*text), maxValueCharacters);
                clear();
            }
            break;
        }
        case ':':
            if (depth == 1 && pendingKey)
                expectingValue = true;
            ++i;
            break;
        case ',':
            if (depth == 1)
                clear();
            ++i;
            break;
        case ' ':
        case '\t':
        case '\n':
        case '\r':
            ++i;
            break;
        default:
            if (depth == 1 && expectingValue)
                clear();
            ++i;
            break;
        }
    }
    return result;
}

}
