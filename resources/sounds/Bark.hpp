#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace PupnikSounds {

// A small dog's bark: a voiced burst whose pitch jumps up and then falls, a noisy attack from the
// burst of air, and a mouth that opens and closes again (formants that glide). The woof and the yip
// are two voicings of it.
struct Bark {
    struct Formant {
        double closed; // Hz at the start
        double open; // Hz with the mouth wide open
        double end; // Hz as it closes
        double q;
        double gain;
    };

    double duration; // seconds of voice
    double tail; // seconds for the filters to ring out
    double onsetPitch; // Hz
    double peakPitch;
    double endPitch;
    double peakAt; // fraction of the duration
    double openAt; // fraction of the duration where the mouth is widest
    std::array<Formant, 3> formants;
    double attackNoise; // level of the burst of air
    double attackFrequency; // Hz, centre of that burst
    double breath; // level of breath noise under the voice
    double roughness; // 0..1, alternate periods weaker: the rasp of a bark
    double drive; // soft saturation of the throat: denser and harsher, louder for its peak
    uint64_t seed;

    static Bark woof();
    static Bark yip();

    std::vector<double> render(double sampleRate) const;
};

}
