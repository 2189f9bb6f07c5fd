#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace PawletShared {

// How the published pet feels; a twin of the engine's own, converted by raw value.
enum class Mood {
    normal,
    hungry,
    happy,
    poop,
};

inline constexpr std::array<Mood, 4> allMoods { Mood::normal, Mood::hungry, Mood::happy, Mood::poop };

std::string_view rawValue(Mood);
std::optional<Mood> moodFromRawValue(std::string_view);

}
