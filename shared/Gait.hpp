#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace PawletShared {

// How the published pet moves; a twin of the engine's own, converted by raw value.
enum class Gait {
    sleep,
    idle,
    stroll,
    walk,
    run,
};

inline constexpr std::array<Gait, 5> allGaits { Gait::sleep, Gait::idle, Gait::stroll, Gait::walk, Gait::run };

std::string_view rawValue(Gait);
std::optional<Gait> gaitFromRawValue(std::string_view);

}
