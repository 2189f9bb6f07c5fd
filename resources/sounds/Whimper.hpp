#pragma once

#include <cstdint>
#include <vector>

namespace PupnikSounds {

// A dog's whine through the nose: a buzzy voice, rich in overtones, shaped by a nasal resonance and
// a gap below it, with puffs of breath and a voice that wavers. It rises and falls once.
struct Whimper {
    double duration; // seconds
    double startPitch; // Hz
    double peakPitch;
    double endPitch;
    double peakAt; // fraction of the duration
    double vibratoRate; // Hz
    double vibratoDepth; // fraction of the pitch
    double brightness; // how slowly the overtones fall away: 1 is a sawtooth, more is brighter
    double resonance; // Hz, the nasal formant
    double resonanceQ;
    double resonanceGain; // relative to the direct voice
    double antiResonance; // Hz, the gap the nose cuts
    double antiResonanceQ;
    double jitter; // fraction of the pitch, drawn anew each period
    double shimmer; // fraction of the level, drawn anew each period
    double subharmonic; // how much every other period sags, at most, where the voice strains
    double breath; // level of the air through the voice
    double puff; // level of the breaths at the start and the end
    uint64_t seed;

    static Whimper standard();

    std::vector<double> render(double sampleRate) const;
};

}
