#include "resources/sounds/Snore.hpp"

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

Snore Snore::standard()
{
    return Snore {
        .inhale = 1.3,
        .exhale = 1.0,
        .flutterStart = 24,
        .flutterEnd = 31,
        .rumbleLow = 80,
        .rumbleHigh = 300,
        .rattleLevel = 0.3,
        .exhaleLevel = 0.1,
        .drive = 2.5,
        .seed = 0x5eed'0004,
    };
}

std::vector<double> Snore::render(double sampleRate) const
{
    double const total = inhale + exhale;
    auto const count = size_t(std::lround(total * sampleRate));
    std::vector<double> samples(count);
    Noise noise(seed);

    // Two sections each side make a steep band, so the rumble stays a rumble.
    auto lowCut1 = Biquad::highPass(sampleRate, rumbleLow, 0.7);
    auto lowCut2 = Biquad::highPass(sampleRate, rumbleLow, 0.7);
    auto highCut1 = Biquad::lowPass(sampleRate, rumbleHigh, 0.7);
    auto highCut2 = Biquad::lowPass(sampleRate, rumbleHigh, 0.7);
    // The rattle's overtones: quieter than the rumble, but what small loudspeakers can play.
    auto rattleBand = Biquad::bandPass(sampleRate, 450, 1.5);
    auto rattleLowPass = Biquad::lowPass(sampleRate, 1000, 0.7);
    // The breath out is air through the nose: higher, softer, no rattle.
    auto airBand = Biquad::bandPass(sampleRate, 350, 0.8);
    auto airLowPass = Biquad::lowPass(sampleRate, 900, 0.7);

    double flutterPhase = 0;
    for (size_t i = 0; i < count; ++i) {
        double const t = double(i) / sampleRate;
        double const inhaleProgress = std::clamp(t / inhale, 0.0, 1.0);

        double const flutterRate = flutterStart + (flutterEnd - flutterStart) * inhaleProgress;
        flutterPhase = std::fmod(flutterPhase + 2 * std::numbers::pi * flutterRate / sampleRate, 2 * std::numbers::pi);
        // Sharp-ish pulses of the rattle on a floor of plain rumble.
        double const flutter = 0.3 + 0.7 * std::pow(0.5 + 0.5 * std::cos(flutterPhase), 3);

        double const rumble = highCut2.process(highCut1.process(lowCut2.process(lowCut1.process(noise.next()))));
        // Swells through the breath in, lets go quickly at its top, and a little rumble lingers.
        double const rumbleEnvelope = smoothstep(0, 0.85, inhaleProgress) * (1 - 0.85 * smoothstep(inhale - 0.15, inhale + 0.35, t))
            * (1 - smoothstep(inhale + 0.2, total, t));
        double const rattle = rattleLevel * std::pow(0.5 + 0.5 * std::cos(flutterPhase), 6) * rattleLowPass.process(rattleBand.process(noise.next()));
        double const inBreath = rumbleEnvelope * (flutter * rumble + rattle);

        double const air = airLowPass.process(airBand.process(noise.next()));
        double const airEnvelope = smoothstep(inhale - 0.05, inhale + 0.25, t) * (1 - smoothstep(inhale + 0.25, total, t));
        double const outBreath = exhaleLevel * airEnvelope * air;

        samples[i] = inBreath + outBreath;
    }

    double largest = 0;
    for (double sample : samples)
        largest = std::max(largest, std::abs(sample));
    if (largest > 0 && drive > 0) {
        // Noise peaks far above its average; squashed, the rumble can be as loud as the barks
        // without its peaks clipping. The saturation's fizz stays below the rattle's band.
        auto smoothing = Biquad::lowPass(sampleRate, 1500, 0.7);
        for (double& sample : samples)
            sample = smoothing.process(std::tanh(drive * sample / largest));
    }
    return samples;
}

}
