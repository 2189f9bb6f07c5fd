#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace PupnikSounds {

// 16-bit PCM mono WAV files.
namespace WaveFile {

// Samples in [-1, 1], clipped beyond it. Written under a temporary name and renamed into place, so
// a player never sees half a file. Gives an error text, empty on success.
std::string write(std::filesystem::path const& path, std::vector<double> const& samples, unsigned sampleRate);

}

}
