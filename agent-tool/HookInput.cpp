#include "agent-tool/HookInput.hpp"

#include "PawletKit/LenientJSON.hpp"

namespace AgentTool::HookInput {

std::optional<PawletKit::JSON::Value> parse(std::string_view bytes)
{
    if (bytes.empty())
        return std::nullopt;
    // Input nested past any real hook input is refused by the parser and salvaged like broken input.
    try {
        auto value = PawletKit::JSON::parse(bytes);
        if (value.is_object())
            return value;
    } catch (PawletKit::JSON::Value::exception const&) {
    }
    auto salvaged = PawletKit::LenientJSON::extractStrings(bytes, PawletKit::LenientJSON::defaultKeys());
    if (salvaged.is_object() && !salvaged.empty())
        return salvaged;
    return std::nullopt;
}

}
