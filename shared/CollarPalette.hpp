#pragma once

#include "shared/AgentSource.hpp"
#include "shared/CollarColor.hpp"

namespace PawletShared::CollarPalette {

// The collar's fixed colours, 8-bit sRGB values divided by 255.
inline constexpr CollarColor claude { 206 / 255.0, 100 / 255.0, 32 / 255.0 };
inline constexpr CollarColor codex { 111 / 255.0, 167 / 255.0, 106 / 255.0 };
inline constexpr CollarColor process { 185 / 255.0, 174 / 255.0, 154 / 255.0 };
// Outlines of band, tag and status dots.
inline constexpr CollarColor outline { 42 / 255.0, 33 / 255.0, 28 / 255.0 };

CollarColor color(AgentSource source);
// Any name other than "claude" and "codex" takes the process colour.
CollarColor color(std::string_view sourceName);

}
