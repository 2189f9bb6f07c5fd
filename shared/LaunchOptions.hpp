#pragma once

#include "PawletKit/Environment.hpp"
#include "shared/Clip.hpp"
#include "shared/DemoAgents.hpp"
#include "shared/Language.hpp"
#include "shared/Skin.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace PawletShared::LaunchOptions {

// The variable's value without surrounding blanks (spaces, tabs and other horizontal white space;
// line breaks stay); nothing when absent or blank.
std::optional<std::string> value(std::string_view name, PawletKit::Environment const& environment);
// True only for "1", "true" or "yes" after trimming, in any case.
bool flag(std::string_view name, PawletKit::Environment const& environment);

// Each option is read from the environment on every call; by default the process's own.
std::optional<Language> language(PawletKit::Environment const& environment = PawletKit::currentEnvironment());
bool demo(PawletKit::Environment const& environment = PawletKit::currentEnvironment());
std::optional<Clip> demoClip(PawletKit::Environment const& environment = PawletKit::currentEnvironment());
bool details(PawletKit::Environment const& environment = PawletKit::currentEnvironment());
bool settings(PawletKit::Environment const& environment = PawletKit::currentEnvironment());
std::optional<Skin> skin(PawletKit::Environment const& environment = PawletKit::currentEnvironment());
bool languageList(PawletKit::Environment const& environment = PawletKit::currentEnvironment());
std::optional<DemoAgents> demoAgents(PawletKit::Environment const& environment = PawletKit::currentEnvironment());
bool previewActivity(PawletKit::Environment const& environment = PawletKit::currentEnvironment());

// The frame the stage is frozen on: PUPNIK_FREEZE_FRAME of the process, read once on first use and
// kept for the life of the process.
std::optional<int64_t> freezeFrame();
// A decimal 64-bit integer with at most one leading sign, after trimming; nothing for anything else.
std::optional<int64_t> parseFreezeFrame(std::optional<std::string> const& value);

}
