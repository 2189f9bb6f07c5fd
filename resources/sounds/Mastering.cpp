#include "resources/sounds/Mastering.hpp"

#include "resources/sounds/Loudness.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace PupnikSounds::Mastering {

std::string toLoudness(std::vector<double>& samples, double sampleRate, double target, double ceiling)
{
    auto const measured = Loudness::integrated(samples, sampleRate);
    if (!measured)
        return "silent: no loudness to match";
    double const gain = std::pow(10, (target - *measured) / 20);
    double largest = 0;
    for (double& sample : samples) {
        sample *= gain;
        largest = std::max(largest, std::abs(sample));
    }
    if (largest > ceiling) {
        char text[160];
        std::snprintf(text, sizeof text, "at %.1f LUFS a peak reaches %.2f dBFS, above the ceiling of %.2f dBFS", target,
            20 * std::log10(largest), 20 * std::log10(ceiling));
        return text;
    }
    return {};
}

void fade(std::vector<double>& samples, double sampleRate, double fadeInSeconds, double fadeOutSeconds)
{
    size_t const count = samples.size();
    if (count < 2)
        return;
    auto ramp = [](size_t index, size_t length) { return 0.5 - 0.5 * std::cos(std::numbers::pi * double(index) / double(length)); };
    size_t const in = std::min(count - 1, size_t(std::lround(fadeInSeconds * sampleRate)));
    for (size_t i = 0; i < in; ++i)
        samples[i] *= ramp(i, in);
    size_t const out = std::min(count - 1, size_t(std::lround(fadeOutSeconds * sampleRate)));
    for (size_t i = 0; i < out; ++i)
        samples[count - 1 - i] *= ramp(i, out);
}

}
