// Writes the pet's four sounds as WAV files into the folder named by the only argument.

#include "resources/sounds/Bark.hpp"
#include "resources/sounds/Mastering.hpp"
#include "resources/sounds/Snore.hpp"
#include "resources/sounds/WaveFile.hpp"
#include "resources/sounds/Whimper.hpp"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>
#include <utility>
#include <vector>

namespace {

constexpr unsigned sampleRate = 44100;

struct Sound {
    char const* fileName;
    std::function<std::vector<double>()> render;
    double fadeIn; // seconds
    double fadeOut;
};

}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <sounds folder>\n", argv[0]);
        return 2;
    }
    std::filesystem::path const folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }

    Sound const sounds[] = {
        { "woof.wav", [] { return PupnikSounds::Bark::woof().render(sampleRate); }, 0.003, 0.01 },
        { "whimper.wav", [] { return PupnikSounds::Whimper::standard().render(sampleRate); }, 0.01, 0.02 },
        { "yip.wav", [] { return PupnikSounds::Bark::yip().render(sampleRate); }, 0.003, 0.01 },
        { "snore.wav", [] { return PupnikSounds::Snore::standard().render(sampleRate); }, 0.02, 0.05 },
    };
    // All four are made before any is written, so a sound that fails leaves the old set whole.
    std::vector<std::vector<double>> mastered;
    for (auto const& sound : sounds) {
        auto samples = sound.render();
        PupnikSounds::Mastering::fade(samples, sampleRate, sound.fadeIn, sound.fadeOut);
        // Matched by loudness, not by peak: a pure tone and a noisy rumble of one peak sound far apart.
        auto const failure = PupnikSounds::Mastering::toLoudness(samples, sampleRate);
        if (!failure.empty()) {
            std::fprintf(stderr, "%s: %s\n", sound.fileName, failure.c_str());
            return 1;
        }
        mastered.push_back(std::move(samples));
    }
    for (size_t i = 0; i < mastered.size(); ++i) {
        auto const failure = PupnikSounds::WaveFile::write(folder / sounds[i].fileName, mastered[i], sampleRate);
        if (!failure.empty()) {
            std::fprintf(stderr, "%s\n", failure.c_str());
            return 1;
        }
    }
    return 0;
}
