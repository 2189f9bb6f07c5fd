#pragma once

#include "PawletKit/JSON.hpp"

#include <optional>
#include <string_view>

namespace AgentTool::HookInput {

// The hook's input as an object: the JSON object itself, or else (text cut at the cap, broken JSON,
// JSON of another shape, nesting deeper than any real hook input) the top-level strings that can be
// salvaged. Nothing when neither yields any.
std::optional<PawletKit::JSON::Value> parse(std::string_view bytes);

}
