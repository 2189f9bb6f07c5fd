#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace Platform {

// One sound, read and prepared once, played as it is from its start.
class AudioPlayer {
public:
    virtual ~AudioPlayer() = default;
    // Rewinds and starts; whether the sound server took it. Never waits long.
    virtual bool play() = 0;
    virtual bool isPlaying() const = 0;
    // Stops and rewinds.
    virtual void stop() = 0;
};

// Where the pet's sounds are heard: the desktop's sound server, or a fake in tests.
class AudioOutput {
public:
    struct Opened {
        // Absent when the file could not be read; `error` says why.
        std::unique_ptr<AudioPlayer> player;
        std::string error;
    };

    virtual ~AudioOutput() = default;
    virtual Opened open(std::filesystem::path const& file) = 0;
};

}
