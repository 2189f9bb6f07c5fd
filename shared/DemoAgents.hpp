#pragma once

#include "PawletKit/Date.hpp"
#include "shared/Clip.hpp"
#include "shared/PetSnapshot.hpp"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PawletShared {

// Which agents a demo shows at work.
enum class DemoAgents {
    claude,
    codex,
    both,
    none,
};

inline constexpr std::array<DemoAgents, 4> allDemoAgents { DemoAgents::claude, DemoAgents::codex, DemoAgents::both, DemoAgents::none };

std::string_view rawValue(DemoAgents);
// Exact, case-sensitive.
std::optional<DemoAgents> demoAgentsFromRawValue(std::string_view);
// claude, codex, both in that order, none for none.
std::vector<std::string> activeSources(DemoAgents);

// A made-up snapshot that the clip rule plays as the given clip at full rate. With agents, the
// sessions, activity and per-agent quota windows are those of the agent set.
PetSnapshot demoSnapshot(Clip clip, PawletKit::Date now, std::optional<DemoAgents> agents);

}
