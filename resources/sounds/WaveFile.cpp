#include "resources/sounds/WaveFile.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <system_error>

namespace PupnikSounds::WaveFile {

namespace {

// RIFF is little-endian whatever the machine is.
void append(std::string& bytes, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.push_back(char((value >> (8 * i)) & 0xff));
}

}

std::string write(std::filesystem::path const& path, std::vector<double> const& samples, unsigned sampleRate)
{
    uint32_t const dataSize = uint32_t(samples.size() * 2);
    std::string bytes;
    bytes.reserve(44 + dataSize);
    bytes += "RIFF";
    append(bytes, 36 + dataSize, 4);
    bytes += "WAVE";
    bytes += "fmt ";
    append(bytes, 16, 4);
    append(bytes, 1, 2); // PCM
    append(bytes, 1, 2); // mono
    append(bytes, sampleRate, 4);
    append(bytes, sampleRate * 2, 4); // bytes per second
    append(bytes, 2, 2); // bytes per frame
    append(bytes, 16, 2); // bits per sample
    bytes += "data";
    append(bytes, dataSize, 4);
    for (double sample : samples) {
        auto const value = int16_t(std::lround(std::clamp(sample, -1.0, 1.0) * 32767.0));
        append(bytes, uint16_t(value), 2);
    }

    auto temporary = path;
    temporary += ".partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        out.close();
        if (!out)
            return "cannot write " + temporary.string();
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return "cannot rename " + temporary.string() + " to " + path.string();
    }
    return {};
}

}
