#include "resources/sounds/Bark.hpp"

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

double lerp(double a, double b, double t) { return a + (b - a) * t; }

// Pitch jumps to its peak at the onset and then falls, evenly on a musical scale.
double pitchAt(Bark const& bark, double u)
{
    if (u < bark.peakAt)
        return lerp(bark.onsetPitch, bark.peakPitch, smoothstep(0, bark.peakAt, u));
    double const fall = std::clamp((u - bark.peakAt) / (1 - bark.peakAt), 0.0, 1.0);
    return bark.peakPitch * std::pow(bark.endPitch / bark.peakPitch, fall);
}

double formantAt(Bark::Formant const& formant, double openAt, double u)
{
    if (u < openAt)
        return lerp(formant.closed, formant.open, smoothstep(0, openAt, u));
    return lerp(formant.open, formant.end, smoothstep(openAt, 1, u));
}

// The voice swells in a few milliseconds, sags a little and dies away over the second half.
double voiceEnvelope(double u)
{
    if (u >= 1)
        return 0;
    return smoothstep(0, 0.06, u) * (1 - 0.3 * u) * (1 - smoothstep(0.5, 1, u));
}

}

Bark Bark::woof()
{
    return Bark {
        .duration = 0.17,
        .tail = 0.03,
        .onsetPitch = 600,
        .peakPitch = 760,
        .endPitch = 430,
        .peakAt = 0.12,
        .openAt = 0.35,
        .formants = { {
            { 550, 950, 600, 4, 1.0 },
            { 1300, 1750, 1350, 5, 0.7 },
            { 2700, 2900, 2600, 6, 0.35 },
        } },
        .attackNoise = 2.0,
        .attackFrequency = 2400,
        .breath = 0.15,
        .roughness = 0.25,
        .drive = 2.5,
        .seed = 0x5eed'0001,
    };
}

Bark Bark::yip()
{
    return Bark {
        .duration = 0.085,
        .tail = 0.04,
        .onsetPitch = 1150,
        .peakPitch = 1500,
        .endPitch = 1050,
        .peakAt = 0.15,
        .openAt = 0.3,
        .formants = { {
            { 1000, 1400, 1100, 5, 1.0 },
            { 2200, 2600, 2300, 6, 0.6 },
            { 3500, 3700, 3400, 7, 0.3 },
        } },
        .attackNoise = 1.5,
        .attackFrequency = 3500,
        .breath = 0.1,
        .roughness = 0.1,
        .drive = 2.0,
        .seed = 0x5eed'0003,
    };
}

std::vector<double> Bark::render(double sampleRate) const
{
    auto const count = size_t(std::lround((duration + tail) * sampleRate));
    std::vector<double> samples(count);

    Noise noise(seed);
    Noise jitterNoise(seed ^ 0xa5a5);
    // Slow wobble of the pitch, a couple of per cent: a voice is never a clean oscillator.
    auto jitterFilter = Biquad::lowPass(sampleRate, 30, 0.7);
    std::array<Biquad, 3> formantFilters {
        Biquad::bandPass(sampleRate, formants[0].closed, formants[0].q),
        Biquad::bandPass(sampleRate, formants[1].closed, formants[1].q),
        Biquad::bandPass(sampleRate, formants[2].closed, formants[2].q),
    };
    auto attackFilter = Biquad::bandPass(sampleRate, attackFrequency, 0.9);
    auto highPass = Biquad::highPass(sampleRate, 150, 0.7);
    auto lowPass = Biquad::lowPass(sampleRate, 7000, 0.7);

    double phase = 0; // over two periods, for the alternating rasp
    for (size_t i = 0; i < count; ++i) {
        double const t = double(i) / sampleRate;
        double const u = t / duration;

        double const jitter = 1 + 0.6 * jitterFilter.process(jitterNoise.next());
        double const pitch = pitchAt(*this, std::min(u, 1.0)) * jitter;
        phase = std::fmod(phase + 2 * std::numbers::pi * pitch / sampleRate, 4 * std::numbers::pi);

        // Band-limited sawtooth: harmonics fade out well below Nyquist so nothing aliases.
        double voice = 0;
        for (int k = 1; k * pitch < 0.45 * sampleRate; ++k) {
            double const f = k * pitch;
            double const weight = 1 - smoothstep(0.3 * sampleRate, 0.45 * sampleRate, f);
            voice += weight * std::sin(k * phase) / k;
        }
        voice *= 1 - roughness * (0.5 + 0.5 * std::cos(phase / 2));

        double const envelope = voiceEnvelope(u);
        double const excitation = envelope * (voice + breath * noise.next());

        if (i % 32 == 0)
            for (size_t f = 0; f < formants.size(); ++f)
                formantFilters[f].retune(Biquad::bandPass(sampleRate, formantAt(formants[f], openAt, std::min(u, 1.0)), formants[f].q));
        double shaped = 0;
        for (size_t f = 0; f < formants.size(); ++f)
            shaped += formants[f].gain * formantFilters[f].process(excitation);

        // The burst of air: up in two milliseconds, gone in a few tens.
        double const attackEnvelope = t < 0.002 ? t / 0.002 : std::exp(-(t - 0.002) / 0.012);
        double const attack = attackNoise * attackEnvelope * attackFilter.process(noise.next());

        samples[i] = lowPass.process(highPass.process(shaped + attack));
    }

    double largest = 0;
    for (double sample : samples)
        largest = std::max(largest, std::abs(sample));
    if (largest > 0 && drive > 0) {
        // Saturation makes overtones of its own; keep them from hissing above the voice.
        auto smoothing = Biquad::lowPass(sampleRate, 8000, 0.7);
        for (double& sample : samples)
            sample = smoothing.process(std::tanh(drive * sample / largest));
    }
    return samples;
}

}
