#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace PawletKit {

// How the pet moves, from resting to busiest.
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
