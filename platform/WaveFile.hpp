#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace Platform {

struct LoadedWave;

// The samples of an uncompressed PCM WAV file, as the sound server takes them.
struct WaveFile {
    // Larger files are refused unread: the pet's sounds are a second or two long.
    static constexpr size_t maxFileBytes = 16 * 1024 * 1024;

    int channels { 0 };
    int sampleRate { 0 };
    // 8 (unsigned), 16 or 32 (signed), little-endian.
    int bitsPerSample { 0 };
    // Whole frames only.
    std::string samples;

    static LoadedWave parse(std::string_view bytes);
    static LoadedWave read(std::filesystem::path const& file);

    int bytesPerFrame() const { return channels * bitsPerSample / 8; }
};

struct LoadedWave {
    std::optional<WaveFile> wave;
    // Why there is none, for the log.
    std::string error;
};

}
