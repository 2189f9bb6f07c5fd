#include "platform/WaveFile.hpp"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace Platform {

namespace {

uint32_t little(std::string_view bytes, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | uint8_t(bytes[at + size_t(i)]);
    return value;
}

LoadedWave refused(std::string error) { return { std::nullopt, std::move(error) }; }

}

LoadedWave WaveFile::parse(std::string_view bytes)
{
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE")
        return refused("not a WAV file");
    std::optional<WaveFile> format;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        auto const id = bytes.substr(at, 4);
        size_t const size = little(bytes, at + 4, 4);
        size_t const body = at + 8;
        size_t const available = std::min(size, bytes.size() - body);
        if (id == "fmt ") {
            if (available < 16)
                return refused("the WAV format chunk is too short");
            WaveFile wave;
            auto const encoding = little(bytes, body, 2);
            wave.channels = int(little(bytes, body + 2, 2));
            wave.sampleRate = int(little(bytes, body + 4, 4));
            wave.bitsPerSample = int(little(bytes, body + 14, 2));
            if (encoding != 1)
                return refused("the WAV file is not plain PCM (format " + std::to_string(encoding) + ")");
            if (wave.channels < 1 || wave.channels > 8)
                return refused("the WAV file has " + std::to_string(wave.channels) + " channels");
            if (wave.sampleRate < 8000 || wave.sampleRate > 192000)
                return refused("the WAV file's sample rate " + std::to_string(wave.sampleRate) + " is not supported");
            if (wave.bitsPerSample != 8 && wave.bitsPerSample != 16 && wave.bitsPerSample != 32)
                return refused("the WAV file has " + std::to_string(wave.bitsPerSample) + " bits per sample");
            format = std::move(wave);
        } else if (id == "data") {
            if (!format)
                return refused("the WAV data comes before its format");
            // A file cut short keeps the frames it has.
            size_t const frames = available / size_t(format->bytesPerFrame());
            if (frames == 0)
                return refused("the WAV file holds no samples");
            format->samples.assign(bytes.substr(body, frames * size_t(format->bytesPerFrame())));
            return { std::move(format), {} };
        }
        // Chunks are padded to an even size.
        at = body + size + (size & 1);
    }
    return refused(format ? "the WAV file holds no samples" : "the WAV file has no format");
}

LoadedWave WaveFile::read(std::filesystem::path const& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return refused(std::strerror(errno));
    // Read up to one byte past the limit, so a larger file is told apart without reading it all.
    std::string bytes;
    char chunk[64 * 1024];
    while (bytes.size() <= maxFileBytes && in.read(chunk, sizeof chunk).gcount() > 0)
        bytes.append(chunk, size_t(in.gcount()));
    if (in.bad())
        return refused("cannot read the file");
    if (bytes.size() > maxFileBytes)
        return refused("the file is larger than " + std::to_string(maxFileBytes / (1024 * 1024)) + " MB");
    return parse(bytes);
}

}
