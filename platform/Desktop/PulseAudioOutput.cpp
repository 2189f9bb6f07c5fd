#include "platform/Desktop/PulseAudioOutput.hpp"

#include "platform/WaveFile.hpp"

namespace Platform {

namespace {

class PulsePlayer final : public AudioPlayer {
public:
    PulsePlayer(std::shared_ptr<PulseSoundServer> server, PulseSoundServer::SoundId sound)
        : m_server(std::move(server))
        , m_sound(sound)
    {
    }

    bool play() override { return m_server->play(m_sound); }
    bool isPlaying() const override { return m_server->isPlaying(m_sound); }
    void stop() override { m_server->stop(m_sound); }

private:
    std::shared_ptr<PulseSoundServer> m_server;
    PulseSoundServer::SoundId m_sound;
};

}

PulseAudioOutput::PulseAudioOutput(std::shared_ptr<PulseSoundServer> server)
    : m_server(std::move(server))
{
}

AudioOutput::Opened PulseAudioOutput::open(std::filesystem::path const& file)
{
    auto const loaded = WaveFile::read(file);
    if (!loaded.wave)
        return { nullptr, loaded.error };
    auto const added = m_server->add(file.filename().string(), *loaded.wave);
    if (!added.sound)
        return { nullptr, added.error };
    return { std::make_unique<PulsePlayer>(m_server, *added.sound), {} };
}

}
