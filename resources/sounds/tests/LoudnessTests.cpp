// The loudness meter against signals whose loudness is known, and the mastering that relies on it.

#include "resources/sounds/Biquad.hpp"
#include "resources/sounds/Loudness.hpp"
#include "resources/sounds/Mastering.hpp"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <optional>
#include <vector>

using namespace PupnikSounds;

namespace {

constexpr double rate = 48000;

struct Stretch {
    double seconds;
    double decibels; // sine amplitude, dBFS
    double frequency = 997;
};

std::vector<double> sines(std::vector<Stretch> const& stretches)
{
    std::vector<double> samples;
    for (auto const& stretch : stretches) {
        double const amplitude = std::pow(10, stretch.decibels / 20);
        auto const count = size_t(std::lround(stretch.seconds * rate));
        for (size_t i = 0; i < count; ++i)
            samples.push_back(amplitude * std::sin(2 * std::numbers::pi * stretch.frequency * double(i) / rate));
    }
    return samples;
}

double peak(std::vector<double> const& samples)
{
    double largest = 0;
    for (double sample : samples)
        largest = std::max(largest, std::abs(sample));
    return largest;
}

}

TEST(Loudness, KnownProgrammesAndTheirGates)
{
    struct Case {
        char const* name;
        std::vector<Stretch> stretches;
        double expected; // LUFS
    } const cases[] = {
        { "a steady sine", { { 20, -20 } }, -23 },
        { "louder by 10 dB", { { 20, -10 } }, -13 },
        // Quiet passages 13 LU down fall under the relative gate and leave the result alone.
        { "quiet around loud", { { 10, -33 }, { 60, -20 }, { 10, -33 } }, -23 },
        // 6 LU down they pass it and are averaged in, by power.
        { "nearly even levels", { { 20, -26 }, { 20.1, -20 }, { 20, -26 } }, -23 + 10 * std::log10((0.25 * 40 + 20.1) / 60.1) },
        // Below -70 LUFS is silence, however long.
        { "silence around a tone", { { 60, -72 }, { 60, -20 }, { 60, -72 } }, -23 },
        // Shorter than a block: measured over its own length.
        { "a short tone", { { 0.2, -20 } }, -23 },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        auto const measured = Loudness::integrated(sines(c.stretches), rate);
        ASSERT_TRUE(measured.has_value());
        EXPECT_NEAR(*measured, c.expected, 0.1);
    }
}

TEST(Loudness, WeightsHighFrequenciesUpAndDeepRumbleDown)
{
    double const reference = *Loudness::integrated(sines({ { 5, -20, 1000 } }), rate);
    double const high = *Loudness::integrated(sines({ { 5, -20, 8000 } }), rate);
    double const deep = *Loudness::integrated(sines({ { 5, -20, 25 } }), rate);
    EXPECT_GT(high - reference, 2.5) << "the head's shelf lifts the treble by about 4 dB";
    EXPECT_LT(high - reference, 4.5);
    EXPECT_LT(deep - reference, -4) << "below the ear's reach counts for less";
}

TEST(Loudness, OneCurveAtEitherSampleRate)
{
    auto at = [](double sampleRate, double frequency) {
        std::vector<double> samples(size_t(5 * sampleRate));
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = 0.1 * std::sin(2 * std::numbers::pi * frequency * double(i) / sampleRate);
        return *Loudness::integrated(samples, sampleRate);
    };
    for (double frequency : { 100.0, 1000.0, 6000.0 }) {
        SCOPED_TRACE(frequency);
        EXPECT_NEAR(at(44100, frequency), at(48000, frequency), 0.05);
    }
}

TEST(Loudness, NothingToMeasureIsAbsent)
{
    EXPECT_FALSE(Loudness::integrated({}, rate).has_value());
    EXPECT_FALSE(Loudness::integrated(std::vector<double>(size_t(rate), 0.0), rate).has_value());
    EXPECT_FALSE(Loudness::integrated(sines({ { 2, -80 } }), rate).has_value()) << "under the absolute gate";
    EXPECT_FALSE(Loudness::integrated(sines({ { 2, -20 } }), 0).has_value());
}

TEST(Mastering, ReachesTheTargetLoudnessWithinTheCeiling)
{
    auto samples = sines({ { 3, -30 } });
    EXPECT_EQ(Mastering::toLoudness(samples, rate, -16, Mastering::peakCeiling), "");
    EXPECT_NEAR(*Loudness::integrated(samples, rate), -16, 0.05);
    EXPECT_NEAR(20 * std::log10(peak(samples)), -13, 0.1) << "a sine peaks 3 dB over its loudness";
}

TEST(Mastering, RefusesWhatWouldPeakOverTheCeiling)
{
    // A click train: tall peaks, little energy. At -16 LUFS its peaks would be far over full scale.
    std::vector<double> clicks(static_cast<size_t>(rate), 0.0);
    for (size_t i = 0; i < clicks.size(); i += 4800)
        clicks[i] = 0.1;
    auto const failure = Mastering::toLoudness(clicks, rate, -16, Mastering::peakCeiling);
    EXPECT_NE(failure.find("above the ceiling"), std::string::npos) << failure;

    std::vector<double> silence(size_t(rate), 0.0);
    EXPECT_NE(Mastering::toLoudness(silence, rate, -16, Mastering::peakCeiling), "");
    EXPECT_NEAR(20 * std::log10(Mastering::peakCeiling), -1, 0.01);
}

TEST(Biquad, NotchSilencesItsCentreAndPassesTheRest)
{
    // Output over input level, once the filter has settled.
    auto levelThrough = [](double frequency) {
        auto notch = Biquad::notch(rate, 1750, 2);
        auto const input = sines({ { 0.5, 0, frequency } });
        double in = 0, out = 0;
        for (size_t i = 0; i < input.size(); ++i) {
            double const output = notch.process(input[i]);
            if (i > input.size() / 2) {
                in += input[i] * input[i];
                out += output * output;
            }
        }
        return std::sqrt(out / in);
    };
    EXPECT_LT(levelThrough(1750), 0.01);
    EXPECT_GT(levelThrough(200), 0.95);
    EXPECT_GT(levelThrough(8000), 0.95);
}
