// The sound files the build synthesises, read back the way a player would read them.

#include "PawletKit/tests/TestSupport.hpp"
#include "app-core/PetSound.hpp"
#include "resources/sounds/Loudness.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

using namespace PupnikCore;
namespace fs = std::filesystem;

namespace {

struct Wave {
    unsigned sampleRate { 0 };
    std::vector<int16_t> samples;

    double seconds() const { return double(samples.size()) / sampleRate; }
    double at(size_t index) const { return samples[index] / 32768.0; }
};

uint32_t little(std::string const& bytes, size_t offset, int size)
{
    uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value |= uint32_t(uint8_t(bytes[offset + i])) << (8 * i);
    return value;
}

// Checks every header field a player relies on; gives the reason when one is off.
std::optional<Wave> readWave(std::string const& bytes, std::string& problem)
{
    auto fail = [&](std::string text) {
        problem = std::move(text);
        return std::nullopt;
    };
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return fail("not RIFF/WAVE");
    if (little(bytes, 4, 4) != bytes.size() - 8)
        return fail("RIFF size " + std::to_string(little(bytes, 4, 4)) + " for a file of " + std::to_string(bytes.size()));
    Wave wave;
    bool haveFormat = false;
    for (size_t offset = 12; offset + 8 <= bytes.size();) {
        auto const id = bytes.substr(offset, 4);
        uint32_t const size = little(bytes, offset + 4, 4);
        size_t const body = offset + 8;
        if (size > bytes.size() - body)
            return fail(id + " chunk runs past the end");
        if (id == "fmt ") {
            if (size < 16)
                return fail("short fmt chunk");
            if (little(bytes, body, 2) != 1)
                return fail("not PCM");
            if (little(bytes, body + 2, 2) != 1)
                return fail("not mono");
            wave.sampleRate = little(bytes, body + 4, 4);
            if (wave.sampleRate != 44100 && wave.sampleRate != 48000)
                return fail("sample rate " + std::to_string(wave.sampleRate));
            if (little(bytes, body + 8, 4) != wave.sampleRate * 2 || little(bytes, body + 12, 2) != 2)
                return fail("byte rate or block alignment inconsistent");
            if (little(bytes, body + 14, 2) != 16)
                return fail("not 16-bit");
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat)
                return fail("data before fmt");
            if (size % 2 != 0)
                return fail("odd data size");
            for (size_t i = 0; i < size; i += 2)
                wave.samples.push_back(int16_t(little(bytes, body + i, 2)));
            return wave;
        }
        offset = body + size + (size & 1);
    }
    return fail("no data chunk");
}

double rms(Wave const& wave, size_t from, size_t count)
{
    double sum = 0;
    for (size_t i = from; i < from + count; ++i)
        sum += wave.at(i) * wave.at(i);
    return std::sqrt(sum / double(count));
}

double peak(Wave const& wave, size_t from, size_t count)
{
    double largest = 0;
    for (size_t i = from; i < from + count; ++i)
        largest = std::max(largest, std::abs(wave.at(i)));
    return largest;
}

// Fundamental of a window around the centre, by normalised autocorrelation. Taking the shortest lag
// that comes close to the best one keeps a rasp (every other period weaker) from reading an octave low.
double pitchAround(Wave const& wave, double centreSeconds, double lowest, double highest)
{
    size_t const window = wave.sampleRate / 40;
    auto const centre = size_t(centreSeconds * wave.sampleRate);
    size_t const start = centre - window / 2;
    auto const shortestLag = size_t(wave.sampleRate / highest);
    auto const longestLag = size_t(wave.sampleRate / lowest);
    std::vector<double> scores;
    for (size_t lag = shortestLag; lag <= longestLag; ++lag) {
        double product = 0, energyA = 0, energyB = 0;
        for (size_t i = start; i < start + window; ++i) {
            product += wave.at(i) * wave.at(i + lag);
            energyA += wave.at(i) * wave.at(i);
            energyB += wave.at(i + lag) * wave.at(i + lag);
        }
        scores.push_back(product / std::sqrt(energyA * energyB + 1e-12));
    }
    double const best = *std::max_element(scores.begin(), scores.end());
    for (size_t i = 1; i + 1 < scores.size(); ++i)
        if (scores[i] >= 0.85 * best && scores[i] >= scores[i - 1] && scores[i] >= scores[i + 1])
            return double(wave.sampleRate) / double(shortestLag + i);
    return 0;
}

// Sign changes a second: a rough measure of where the energy lies in frequency.
double crossingsPerSecond(Wave const& wave, size_t from, size_t count)
{
    size_t crossings = 0;
    for (size_t i = from + 1; i < from + count; ++i)
        if ((wave.samples[i - 1] < 0) != (wave.samples[i] < 0))
            ++crossings;
    return double(crossings) * wave.sampleRate / double(count);
}

// Power spectrum of a Hann-windowed stretch, bin i at i * sampleRate / window Hz, up to half the rate.
std::vector<double> powerSpectrum(Wave const& wave, double centreSeconds, size_t window)
{
    size_t const start = size_t(centreSeconds * wave.sampleRate) - window / 2;
    std::vector<double> windowed(window);
    for (size_t i = 0; i < window; ++i)
        windowed[i] = wave.at(start + i) * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(window)));
    std::vector<double> power(window / 2);
    for (size_t bin = 0; bin < power.size(); ++bin) {
        double re = 0, im = 0;
        for (size_t i = 0; i < window; ++i) {
            double const angle = 2 * std::numbers::pi * double(bin * i % window) / double(window);
            re += windowed[i] * std::cos(angle);
            im -= windowed[i] * std::sin(angle);
        }
        power[bin] = re * re + im * im;
    }
    return power;
}

// How alike neighbouring periods are: the best normalised autocorrelation over the lags of the band.
// A whistle repeats itself exactly (close to 1); a voice wavers; noise does not repeat at all.
double periodSimilarity(Wave const& wave, double centreSeconds, double lowest, double highest)
{
    size_t const window = wave.sampleRate / 40;
    size_t const start = size_t(centreSeconds * wave.sampleRate) - window / 2;
    double best = -1;
    for (auto lag = size_t(wave.sampleRate / highest); lag <= size_t(wave.sampleRate / lowest); ++lag) {
        double product = 0, energyA = 0, energyB = 0;
        for (size_t i = start; i < start + window; ++i) {
            product += wave.at(i) * wave.at(i + lag);
            energyA += wave.at(i) * wave.at(i);
            energyB += wave.at(i + lag) * wave.at(i + lag);
        }
        best = std::max(best, product / std::sqrt(energyA * energyB + 1e-12));
    }
    return best;
}

struct Expectation {
    PetSound sound;
    double shortest; // seconds
    double longest;
};

Expectation const expectations[] = {
    { PetSound::woof, 0.1, 0.6 },
    { PetSound::whimper, 0.3, 0.95 },
    { PetSound::yip, 0.05, 0.3 },
    { PetSound::snore, 1.0, 4.0 },
};

double decibels(double level) { return 20 * std::log10(level); }

Wave load(PetSound sound)
{
    auto const path = fs::path(PUPNIK_SHARE_DIR) / "sounds" / sound.fileName();
    std::string problem;
    auto wave = readWave(TestSupport::readFile(path), problem);
    if (!wave)
        throw std::runtime_error(path.string() + ": " + problem);
    return *wave;
}

}

TEST(GeneratedSounds, FormatLengthLevelAndQuietEnds)
{
    for (auto const& expected : expectations) {
        SCOPED_TRACE(expected.sound.fileName());
        Wave wave;
        ASSERT_NO_THROW(wave = load(expected.sound));
        EXPECT_GE(wave.seconds(), expected.shortest);
        EXPECT_LE(wave.seconds(), expected.longest);

        auto const count = wave.samples.size();
        auto const [lowest, highest] = std::minmax_element(wave.samples.begin(), wave.samples.end());
        EXPECT_GT(*lowest, -32768) << "clipped";
        EXPECT_LT(*highest, 32767) << "clipped";
        double const level = peak(wave, 0, count);
        EXPECT_LE(decibels(level), -1.0) << "room below full scale for the peaks between samples";
        EXPECT_GE(decibels(level), -20.0) << "nearly silent";

        // Nothing clicks: the file starts and ends at rest and gets there gradually.
        EXPECT_LE(std::abs(wave.samples.front()), 16);
        EXPECT_LE(std::abs(wave.samples.back()), 16);
        size_t const millisecond = wave.sampleRate / 1000;
        EXPECT_LE(peak(wave, 0, millisecond), 0.1 * level) << "first millisecond";
        EXPECT_LE(peak(wave, count - millisecond, millisecond), 0.1 * level) << "last millisecond";
    }
    EXPECT_LT(load(PetSound::yip).seconds(), load(PetSound::woof).seconds()) << "a yip is the shorter bark";
}

TEST(GeneratedSounds, AllFourAtOneLoudness)
{
    std::vector<double> loudness;
    for (auto const& expected : expectations) {
        SCOPED_TRACE(expected.sound.fileName());
        auto const wave = load(expected.sound);
        std::vector<double> samples(wave.samples.size());
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = wave.at(i);
        auto const measured = PupnikSounds::Loudness::integrated(samples, wave.sampleRate);
        ASSERT_TRUE(measured.has_value());
        EXPECT_NEAR(*measured, -16, 0.5) << "LUFS";
        loudness.push_back(*measured);
    }
    auto const [quietest, loudest] = std::minmax_element(loudness.begin(), loudness.end());
    EXPECT_LE(*loudest - *quietest, 0.5) << "LU between the loudest and the quietest sound";
}

TEST(GeneratedSounds, BarksFallInPitchAndTheYipIsHigher)
{
    struct Case {
        PetSound sound;
        double early; // seconds into the file
        double late;
        double earlyLow, earlyHigh; // Hz
        double lateLow, lateHigh;
    } const cases[] = {
        { PetSound::woof, 0.03, 0.13, 550, 900, 350, 650 },
        { PetSound::yip, 0.02, 0.07, 1200, 1700, 950, 1400 },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.sound.fileName());
        auto const wave = load(c.sound);
        double const early = pitchAround(wave, c.early, 250, 2500);
        double const late = pitchAround(wave, c.late, 250, 2500);
        EXPECT_GE(early, c.earlyLow);
        EXPECT_LE(early, c.earlyHigh);
        EXPECT_GE(late, c.lateLow);
        EXPECT_LE(late, c.lateHigh);
        EXPECT_LT(late, early * 0.9) << "the pitch falls";
    }
}

TEST(GeneratedSounds, WhimperRisesAndFalls)
{
    auto const wave = load(PetSound::whimper);
    double const d = wave.seconds();
    double const start = pitchAround(wave, 0.1 * d, 400, 2000);
    double const top = pitchAround(wave, 0.45 * d, 400, 2000);
    double const end = pitchAround(wave, 0.85 * d, 400, 2000);
    for (double pitch : { start, top, end }) {
        EXPECT_GE(pitch, 650);
        EXPECT_LE(pitch, 1450);
    }
    EXPECT_GT(top, start * 1.15);
    EXPECT_GT(top, end * 1.15);
}

TEST(GeneratedSounds, WhimperIsANasalVoiceNotAWhistle)
{
    auto const wave = load(PetSound::whimper);
    double const d = wave.seconds();
    for (double at : { 0.3, 0.45, 0.6 }) {
        SCOPED_TRACE(at);
        size_t const window = 2048;
        auto const power = powerSpectrum(wave, at * d, window);
        double const binHz = double(wave.sampleRate) / double(window);
        double const fundamental = pitchAround(wave, at * d, 400, 2000);
        ASSERT_GT(fundamental, 600) << "no pitch to measure the overtones against";
        double weighted = 0, total = 0, overtones = 0, first = 0;
        for (size_t bin = 1; bin < power.size(); ++bin) {
            double const hz = double(bin) * binHz;
            weighted += hz * power[bin];
            total += power[bin];
            (hz < 1.5 * fundamental ? first : overtones) += power[bin];
        }
        double const centroid = weighted / total;
        double const similarity = periodSimilarity(wave, at * d, 600, 1500);
        // A whistle's energy sits on its fundamental; a nasal voice's in the overtones about its resonance.
        EXPECT_GT(overtones / first, 0.5) << "energy in the overtones over that of the fundamental";
        EXPECT_GT(centroid, 1.6 * fundamental) << "spectral centroid, Hz";
        EXPECT_GT(centroid, 1800);
        EXPECT_LT(centroid, 4000);
        // It still repeats, as voiced sound does, but not with a whistle's exactness.
        EXPECT_LT(similarity, 0.97) << "neighbouring periods alike as in a whistle";
        EXPECT_GT(similarity, 0.6) << "no longer voiced";
    }
}

TEST(GeneratedSounds, SnoreIsALowRumbleThatSwellsAndFades)
{
    auto const wave = load(PetSound::snore);
    size_t const tenth = wave.sampleRate / 10;
    std::vector<double> levels;
    for (size_t from = 0; from + tenth <= wave.samples.size(); from += tenth)
        levels.push_back(rms(wave, from, tenth));
    auto const loudest = size_t(std::max_element(levels.begin(), levels.end()) - levels.begin());
    EXPECT_GT(loudest, 3u) << "swells rather than starting loud";
    EXPECT_LT(double(loudest), 0.65 * double(levels.size())) << "loudest while breathing in";
    EXPECT_LT(levels.front(), 0.3 * levels[loudest]);
    EXPECT_LT(levels.back(), 0.3 * levels[loudest]);
    EXPECT_LT(crossingsPerSecond(wave, loudest * tenth, tenth), 1000) << "energy lies low, a rumble";
}
