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
        .breath = 0.04,
        .seed = 0x5eed'0002,
    };
}

std::vector<double> Whimper::render(double sampleRate) const
{
    auto const count = size_t(std::lround(duration * sampleRate));
    std::vector<double> samples(count);
    Noise noise(seed);
    auto breathFilter = Biquad::bandPass(sampleRate, 2500, 1.2);
    auto lowPass = Biquad::lowPass(sampleRate, 6000, 0.7);

    double phase = 0;
    for (size_t i = 0; i < count; ++i) {
        double const t = double(i) / sampleRate;
        double const u = t / duration;

        // Up along a smooth curve to the peak, then down a little below where it began.
        double const base = u < peakAt ? startPitch + (peakPitch - startPitch) * smoothstep(0, peakAt, u)
                                       : peakPitch + (endPitch - peakPitch) * smoothstep(peakAt, 1, u);
        // The vibrato deepens as the whine goes on, as a voice that tires.
        double const vibrato = 1 + vibratoDepth * (0.4 + 0.6 * u) * std::sin(2 * std::numbers::pi * vibratoRate * t);
        double const pitch = base * vibrato;
        phase = std::fmod(phase + 2 * std::numbers::pi * pitch / sampleRate, 2 * std::numbers::pi);

        // Thin: a sine with a trace of the second and third harmonics.
        double const tone = std::sin(phase) + 0.12 * std::sin(2 * phase) + 0.04 * std::sin(3 * phase);
        // Swells in, holds with a slight tremble in step with the vibrato, and trails off.
        double const envelope = smoothstep(0, 0.12, u) * (1 - smoothstep(0.65, 1, u))
            * (1 + 0.08 * std::sin(2 * std::numbers::pi * vibratoRate * t));
        double const air = breath * breathFilter.process(noise.next());

        samples[i] = lowPass.process(envelope * (tone + air));
    }
    return samples;
}

}
