#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace PawletShared {

// The agent sources the shared views colour, in their canonical order.
enum class AgentSource {
    claude,
    codex,
    process,
};

inline constexpr std::array<AgentSource, 3> allAgentSources { AgentSource::claude, AgentSource::codex, AgentSource::process };

std::string_view rawValue(AgentSource);
std::optional<AgentSource> agentSourceFromRawValue(std::string_view);

// "source.claude" and so on: the key of the source's display name.
std::string labelKey(AgentSource);

}
