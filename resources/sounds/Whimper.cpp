#include "resources/sounds/Whimper.hpp"

#include "resources/sounds/Biquad.hpp"
#include "resources/sounds/Noise.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace PupnikSounds {

namespace {

double smoothstep(double from, double to, double x)
{
    double const t = std::clamp((x - from) / (to - from), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

double bump(double centre, double width, double x)
{
    double const d = (x - centre) / width;
    return std::exp(-d * d);
}

}

Whimper Whimper::standard()
{
    return Whimper {
        .duration = 0.7,
        .startPitch = 820,
        .peakPitch = 1250,
        .endPitch = 760,
        .peakAt = 0.4,
        .vibratoRate = 6.5,
        .vibratoDepth = 0.02,
        .brightness = 1.0,
        .resonance = 2600,
        .resonanceQ = 3,
        .resonanceGain = 3,
        .antiResonance = 1750,
        .antiResonanceQ = 2,
        .jitter = 0.025,
        .shimmer = 0.15,
        .subharmonic = 0.3,
        .breath = 0.6,
        .puff = 1.5,
        .seed = 0x5eed'0002,
    };
}

std::vector<double> Whimper::render(double sampleRate) const
{
    auto const count = size_t(std::lround(duration * sampleRate));
    std::vector<double> samples(count);
    Noise noise(seed);
    Noise wobble(seed ^ 0x5a5a);

    auto formant = Biquad::bandPass(sampleRate, resonance, resonanceQ);
    auto nose = Biquad::notch(sampleRate, antiResonance, antiResonanceQ);
    auto breathBand = Biquad::bandPass(sampleRate, 3000, 0.8);
    auto puffBand = Biquad::bandPass(sampleRate, 1800, 0.7);
    auto highPass = Biquad::highPass(sampleRate, 300, 0.7);
    auto lowPass = Biquad::lowPass(sampleRate, 7000, 0.7);

    double phase = 0; // over two periods, so every other one can sag
    double periodPitch = 1; // this period's jitter
    double periodLevel = 1; // and shimmer
    for (size_t i = 0; i < count; ++i) {
        double const t = double(i) / sampleRate;
        double const u = t / duration;

        // Up along a smooth curve to the peak, then down a little below where it began.
        double const base = u < peakAt ? startPitch + (peakPitch - startPitch) * smoothstep(0, peakAt, u)
                                       : peakPitch + (endPitch - peakPitch) * smoothstep(peakAt, 1, u);
        // The vibrato deepens as the whine goes on, as a voice that tires.
        double const vibrato = 1 + vibratoDepth * (0.4 + 0.6 * u) * std::sin(2 * std::numbers::pi * vibratoRate * t);
        double const pitch = base * vibrato * periodPitch;
        double const before = phase;
        phase = std::fmod(phase + 2 * std::numbers::pi * pitch / sampleRate, 4 * std::numbers::pi);
        if (std::fmod(phase, 2 * std::numbers::pi) < std::fmod(before, 2 * std::numbers::pi)) {
            // A new period: a voice never repeats itself exactly.
            periodPitch = 1 + jitter * wobble.next();
            periodLevel = 1 + shimmer * wobble.next();
        }

        // Band-limited buzz: every harmonic below the top of the band, falling away with its number.
        double buzz = 0;
        for (int k = 1; k * pitch < 0.4 * sampleRate; ++k)
            buzz += std::sin(k * phase) / std::pow(k, 1 / brightness);
        // Strain at the top of the whine: every other period weaker, a rough undertone an octave down.
        double const strain = subharmonic * bump(peakAt, 0.25, u);
        buzz *= periodLevel * (1 - strain * (0.5 + 0.5 * std::cos(phase / 2)));

        // Air rushes through each time the folds part, so the breath pulses with the voice.
        double const opening = 0.5 + 0.5 * std::cos(phase);
        double const air = breath * (0.3 + 0.7 * opening) * breathBand.process(noise.next());

        double const envelope = smoothstep(0, 0.12, u) * (1 - smoothstep(0.65, 1, u))
            * (1 + 0.08 * std::sin(2 * std::numbers::pi * vibratoRate * t));
        double const source = envelope * (buzz + air);
        double const voice = nose.process(source + resonanceGain * formant.process(source));

        // A sniff in before the whine and a sigh out of the nose as it ends.
        double const puffs = puff * (bump(0.04, 0.04, u) + 0.7 * bump(0.93, 0.05, u)) * puffBand.process(noise.next());

        samples[i] = lowPass.process(highPass.process(voice + puffs));
    }
    return samples;
}

}
