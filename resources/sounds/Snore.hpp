#pragma once

#include <cstdint>
#include <vector>

namespace PupnikSounds {

// One slow sleeping breath: a low rumble that flutters and swells while breathing in, then a soft
// airy breath out that fades away.
struct Snore {
    double inhale; // seconds
    double exhale; // seconds
    double flutterStart; // Hz, how fast the soft palate rattles
    double flutterEnd;
    double rumbleLow; // Hz, band of the rumble
    double rumbleHigh;
    double rattleLevel; // relative to the rumble
    double exhaleLevel;
    double drive; // saturation of the throat: rounds off the noise's rare tall peaks
    uint64_t seed;

    static Snore standard();

    std::vector<double> render(double sampleRate) const;
};

}
