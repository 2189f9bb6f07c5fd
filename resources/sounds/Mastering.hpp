#pragma once

#include <string>
#include <vector>

namespace PupnikSounds {

// The last steps every sound takes, so that the four play at one loudness and none clicks.
namespace Mastering {

// Loud enough to carry over a desktop's hum without startling, LUFS.
constexpr double targetLoudness = -16;
// -1 dBFS: the most any sample may reach, so converters and resamplers have room for the peaks
// that fall between samples.
constexpr double peakCeiling = 0.8913;

// Scales the samples to the target loudness. Gives an error text, empty on success: when the
// sound is silent, or when reaching the loudness would take a sample above the ceiling.
std::string toLoudness(std::vector<double>& samples, double sampleRate, double target = targetLoudness,
    double ceiling = peakCeiling);
// Raised-cosine fades that start and end at exactly zero.
void fade(std::vector<double>& samples, double sampleRate, double fadeInSeconds, double fadeOutSeconds);

}

}
