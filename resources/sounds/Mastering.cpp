#include "resources/sounds/Mastering.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace PupnikSounds::Mastering {

void normalize(std::vector<double>& samples, double peak)
{
    double largest = 0;
    for (double sample : samples)
        largest = std::max(largest, std::abs(sample));
    if (largest <= 0)
        return;
    double const gain = peak / largest;
    for (double& sample : samples)
        sample *= gain;
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
