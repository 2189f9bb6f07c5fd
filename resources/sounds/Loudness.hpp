#pragma once

#include <optional>
#include <span>

namespace PupnikSounds {

// Integrated loudness of a mono signal as broadcasters measure it: K-weighted (a high shelf for the
// head's effect, a high-pass below the ear's reach), mean squares over 400 ms blocks that overlap by
// three quarters, then gated, first absolutely at -70 LUFS and then 10 LU below the level of what passed.
namespace Loudness {

// In LUFS. A signal shorter than one block is measured as a single block of its own length, so that
// a short bark still has a loudness. Absent when nothing passes the gates (silence, or no samples).
std::optional<double> integrated(std::span<double const> samples, double sampleRate);

}

}
