#pragma once

#include "shared/Gait.hpp"

#include <array>
#include <optional>
#include <string_view>

namespace PawletShared {

// The animations the shared views draw the pet with; the raw values name the sprite folders.
enum class Clip {
    run,
    walk,
    stroll,
    idle,
    hungry,
    happy,
    poop,
};

inline constexpr std::array<Clip, 7> allClips { Clip::run, Clip::walk, Clip::stroll, Clip::idle, Clip::hungry, Clip::happy, Clip::poop };

std::string_view rawValue(Clip);
std::optional<Clip> clipFromRawValue(std::string_view);

// Walking speed in points per second for a pet drawn 162 points wide; the standing clips give 0.
double speed(Clip);

// The clip that shows a gait; a sleeping pet shows the idle clip.
Clip clipForGait(Gait);

}
