#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace PupnikCore {

// The application's animations, sick among them; the raw values name the sprite folders, and the
// order is that of the demo menu.
enum class Clip {
    run,
    walk,
    stroll,
    idle,
    hungry,
    happy,
    poop,
    sick,
};

inline constexpr std::array<Clip, 8> allClips { Clip::run, Clip::walk, Clip::stroll, Clip::idle, Clip::hungry, Clip::happy, Clip::poop, Clip::sick };

std::string_view rawValue(Clip);
std::optional<Clip> clipFromRawValue(std::string_view);

// "state.run" and so on: the key of the clip's title.
std::string localizationKey(Clip);
// Walking speed in points per second; the standing clips give 0.
double speed(Clip);

}
