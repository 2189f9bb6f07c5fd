#include "Pupnik/SoundPlayer.hpp"

#include "platform/Log.hpp"

namespace Pupnik {

SoundPlayer::SoundPlayer(std::unique_ptr<Platform::AudioOutput> output, std::shared_ptr<Platform::OutputMuteQuery> mute,
    Platform::Clock const& clock, Locator locate)
    : m_output(std::move(output))
    , m_mute(std::move(mute))
    , m_clock(clock)
    , m_locate(locate ? std::move(locate) : Locator([](PupnikCore::PetSound sound) { return sound.resourceURL(); }))
{
}

std::string SoundPlayer::play(PupnikCore::PetSound sound, bool enabled)
{
    if (!enabled)
        return "skipped(disabled)";
    // Before the mute test, which may have to ask the sound server.
    double const now = m_clock.monotonic();
    // A hair's tolerance, so that a gap of exactly the cooldown is not lost to rounding of the uptime.
    if (now - m_lastPlayedAt < cooldownSeconds - 1e-9)
        return "skipped(too-soon)";
    if (isSystemOutputMuted())
        return "skipped(muted)";
    std::string const name(sound.rawValue());
    auto* const audio = player(sound);
    if (!audio)
        return "missing(" + name + ")";
    // A start the server refuses still counts, so a failing server is not asked again at once.
    m_lastPlayedAt = now;
    return (audio->play() ? "played(" : "failed(") + name + ")";
}

void SoundPlayer::stopAll()
{
    for (auto& [sound, audio] : m_players)
        if (audio->isPlaying())
            audio->stop();
}

bool SoundPlayer::isSystemOutputMuted() const { return m_mute && m_mute->isMuted(); }

Platform::AudioPlayer* SoundPlayer::player(PupnikCore::PetSound sound)
{
    if (auto const found = m_players.find(sound); found != m_players.end())
        return found->second.get();
    std::string const name(sound.rawValue());
    auto const file = m_locate(sound);
    if (!file) {
        // Not kept: the file is looked for again next time, but said once.
        if (m_missingLogged.insert(sound).second)
            Platform::Log::line("sound: " + sound.fileName() + " is not in the bundle — sounds for " + name + " are off");
        return nullptr;
    }
    auto opened = m_output ? m_output->open(*file) : Platform::AudioOutput::Opened { nullptr, "no sound output" };
    if (!opened.player) {
        if (m_missingLogged.insert(sound).second)
            Platform::Log::line("sound: " + sound.fileName() + " could not be opened: " + opened.error);
        return nullptr;
    }
    return m_players.emplace(sound, std::move(opened.player)).first->second.get();
}

}
