#include "resources/sounds/Loudness.hpp"

#include "resources/sounds/Biquad.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace PupnikSounds::Loudness {

namespace {

constexpr double blockSeconds = 0.4;
constexpr double stepSeconds = 0.1;
constexpr double absoluteGate = -70; // LUFS
constexpr double relativeGate = -10; // LU
// Cancels the weighting's gain at 1 kHz, so a full-scale 1 kHz sine reads -3.01 LUFS.
constexpr double offset = -0.691;

// The weighting's two sections, from their analogue prototypes, so any sample rate gets the same curve.
Biquad headShelf(double sampleRate)
{
    constexpr double frequency = 1681.974450955533;
    constexpr double gainDecibels = 3.999843853973347;
    constexpr double q = 0.7071752369554196;
    double const k = std::tan(std::numbers::pi * frequency / sampleRate);
    double const high = std::pow(10, gainDecibels / 20);
    double const band = std::pow(high, 0.4996667741545416);
    return Biquad::fromCoefficients(high + band * k / q + k * k, 2 * (k * k - high), high - band * k / q + k * k,
        1 + k / q + k * k, 2 * (k * k - 1), 1 - k / q + k * k);
}

Biquad lowCut(double sampleRate)
{
    constexpr double frequency = 38.13547087602444;
    constexpr double q = 0.5003270373238773;
    double const k = std::tan(std::numbers::pi * frequency / sampleRate);
    return Biquad::fromCoefficients(1, -2, 1, 1 + k / q + k * k, 2 * (k * k - 1), 1 - k / q + k * k);
}

double toLufs(double meanSquare) { return offset + 10 * std::log10(meanSquare); }

}

std::optional<double> integrated(std::span<double const> samples, double sampleRate)
{
    if (samples.empty() || !(sampleRate > 0))
        return std::nullopt;

    auto shelf = headShelf(sampleRate);
    auto cut = lowCut(sampleRate);
    std::vector<double> squares(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        double const weighted = cut.process(shelf.process(samples[i]));
        squares[i] = weighted * weighted;
    }
    // Running sums make every block's mean one subtraction.
    std::vector<double> sums(squares.size() + 1, 0.0);
    for (size_t i = 0; i < squares.size(); ++i)
        sums[i + 1] = sums[i] + squares[i];

    auto const block = std::min(samples.size(), size_t(std::lround(blockSeconds * sampleRate)));
    auto const step = std::max<size_t>(1, size_t(std::lround(stepSeconds * sampleRate)));
    std::vector<double> blocks;
    for (size_t start = 0; start + block <= samples.size(); start += step)
        blocks.push_back((sums[start + block] - sums[start]) / double(block));

    auto gatedMean = [&](double gate) -> std::optional<double> {
        double total = 0;
        size_t passed = 0;
        for (double meanSquare : blocks)
            if (meanSquare > 0 && toLufs(meanSquare) > gate) {
                total += meanSquare;
                ++passed;
            }
        if (passed == 0)
            return std::nullopt;
        return total / double(passed);
    };
    auto const overAbsolute = gatedMean(absoluteGate);
    if (!overAbsolute)
        return std::nullopt;
    auto const overRelative = gatedMean(std::max(absoluteGate, toLufs(*overAbsolute) + relativeGate));
    if (!overRelative)
        return std::nullopt;
    return toLufs(*overRelative);
}

}
