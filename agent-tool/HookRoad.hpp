#pragma once

#include "agent-tool/AgentContext.hpp"

#include <optional>
#include <string>

namespace AgentTool::HookRoad {

constexpr int processChainDepth = 6;

// Records one hook call as an event, or hands a permission request to the approval wait. Always 0.
int run(AgentContext const& context, std::string const& event, std::optional<std::string> const& matcher);

// The hook named no event: logged, nothing recorded. Always 0.
int runWithoutEvent(AgentContext const& context);

}
