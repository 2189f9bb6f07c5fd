#pragma once

#include "agent-tool/AgentContext.hpp"

#include "PawletKit/Environment.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace AgentTool::StatusLineRoad {

constexpr std::string_view timeoutVariable = "PUPNIK_FORWARD_TIMEOUT_MS";
constexpr int64_t defaultTimeoutMs = 5000;
// Keeps the deadline in range; no status line is worth waiting a day for.
constexpr int64_t maxTimeoutMs = 86'400'000;
constexpr size_t loggedCommandCharacters = 120;

// Records the status-line input as an event and passes it on to the user's own status-line command,
// whose output and exit status become the tool's. 0 when there is nothing to forward.
int run(AgentContext const& context);

// The command's exit status (128 plus the signal that ended it); 0 when it could not run in time.
int forward(AgentContext const& context, std::string const& command, std::string_view input, int64_t timeoutMs);

// A whole decimal number of at least 1 (sign allowed), clamped; else the default.
int64_t timeoutMs(PawletKit::Environment const& environment);

}
