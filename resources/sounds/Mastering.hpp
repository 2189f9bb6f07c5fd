#pragma once

#include <vector>

namespace PupnikSounds {

// The last steps every sound takes, so that the four play at one level and none clicks.
namespace Mastering {

// About -3 dBFS.
constexpr double peakLevel = 0.7079;

// Scales the samples so that the largest magnitude is peakLevel; silence stays silence.
void normalize(std::vector<double>& samples, double peak = peakLevel);
// Raised-cosine fades that start and end at exactly zero.
void fade(std::vector<double>& samples, double sampleRate, double fadeInSeconds, double fadeOutSeconds);

}

}
