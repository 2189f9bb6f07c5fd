#pragma once

#include "platform/AudioOutput.hpp"

#include <memory>

namespace Platform {

// The desktop's sound server (PulseAudio, or PipeWire's PulseAudio service) through Qt Multimedia.
// Files are read and decoded on open(); playing happens on a thread of its own, each sound with its
// own output stream made on its first play and kept. A start waits a moment for the server's word
// and otherwise counts as failed; while a start still hangs, later ones fail at once. So a sound
// server that hangs never holds up the caller.
class QtAudioOutput final : public AudioOutput {
public:
    // How long play() waits for the server to take a sound.
    static constexpr double startWaitSeconds = 0.25;
    // Silence after each sound, so that the end of the sound leaves the server before the stream stops.
    static constexpr double trailingSilenceSeconds = 0.5;
    // How long a stream whose samples are all with the server is left to play them before it stops.
    static constexpr int idleStopMilliseconds = 2000;
    // How long the end of the output waits for its thread.
    static constexpr int stopWaitMilliseconds = 1000;

    QtAudioOutput();
    ~QtAudioOutput() override;

    Opened open(std::filesystem::path const& file) override;

    class Engine;

private:
    std::shared_ptr<Engine> m_engine;
};

}
