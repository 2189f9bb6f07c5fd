#pragma once

#include "platform/AudioOutput.hpp"
#include "platform/Desktop/PulseSoundServer.hpp"

#include <memory>

namespace Platform {

// The pet's sounds through the desktop's sound server: each file is read once and handed to the
// server's sample cache.
class PulseAudioOutput final : public AudioOutput {
public:
    explicit PulseAudioOutput(std::shared_ptr<PulseSoundServer> server);

    Opened open(std::filesystem::path const& file) override;

private:
    std::shared_ptr<PulseSoundServer> m_server;
};

}
