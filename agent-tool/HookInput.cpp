#include "agent-tool/HookInput.hpp"

#include "PawletKit/LenientJSON.hpp"

namespace AgentTool::HookInput {

bool nestsDeeperThan(std::string_view bytes, size_t depth)
{
    size_t level = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : bytes) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++level > depth)
                return true;
        } else if ((c == '}' || c == ']') && level > 0) {
            --level;
        }
    }
    return false;
}

std::optional<PawletKit::JSON::Value> parse(std::string_view bytes)
{
    if (bytes.empty())
        return std::nullopt;
    if (!nestsDeeperThan(bytes, maxNestingDepth)) {
        try {
            auto value = PawletKit::JSON::parse(bytes);
            if (value.is_object())
                return value;
        } catch (PawletKit::JSON::Value::exception const&) {
        }
    }
    auto salvaged = PawletKit::LenientJSON::extractStrings(bytes, PawletKit::LenientJSON::defaultKeys());
    if (salvaged.is_object() && !salvaged.empty())
        return salvaged;
    return std::nullopt;
}

}
