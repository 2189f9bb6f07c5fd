#pragma once

#include <cstdint>
#include <vector>

namespace PupnikSounds {

// A thin whine, nearly a sine, that rises and falls once with a little vibrato.
struct Whimper {
    double duration; // seconds
    double startPitch; // Hz
    double peakPitch;
    double endPitch;
    double peakAt; // fraction of the duration
    double vibratoRate; // Hz
    double vibratoDepth; // fraction of the pitch
    double breath; // level of breath noise
    uint64_t seed;

    static Whimper standard();

    std::vector<double> render(double sampleRate) const;
};

}
