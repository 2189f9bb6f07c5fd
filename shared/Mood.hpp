#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace PawletShared {

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
