#pragma once

#include "app-core/PetSound.hpp"
#include "platform/AudioOutput.hpp"
#include "platform/Clock.hpp"
#include "platform/OutputMuteQuery.hpp"

#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace Pupnik {

// Plays the pet's sounds and says, in a short outcome text for the log, why one did not sound:
// switched off, too soon after the last, the output muted, the file missing or the server refusing.
// Each file is opened once and its player kept. Main thread only.
class SoundPlayer final {
public:
    // Sounds closer together than this are dropped, whichever sounds they are.
    static constexpr double cooldownSeconds = 0.4;

    // Where a sound's file is, if anywhere.
    using Locator = std::function<std::optional<std::filesystem::path>(PupnikCore::PetSound)>;

    // The clock's monotonic time measures the cooldown. Without a locator, the installation's files.
    SoundPlayer(std::unique_ptr<Platform::AudioOutput> output, std::shared_ptr<Platform::OutputMuteQuery> mute,
        Platform::Clock const& clock, Locator locate = {});

    // "played(woof)", "failed(woof)", "missing(woof)", "skipped(disabled)", "skipped(too-soon)" or
    // "skipped(muted)".
    std::string play(PupnikCore::PetSound sound, bool enabled);
    // Stops and rewinds whatever plays; every player is kept.
    void stopAll();
    bool isSystemOutputMuted() const;

private:
    Platform::AudioPlayer* player(PupnikCore::PetSound sound);

    std::unique_ptr<Platform::AudioOutput> m_output;
    std::shared_ptr<Platform::OutputMuteQuery> m_mute;
    Platform::Clock const& m_clock;
    Locator m_locate;
    std::unordered_map<PupnikCore::PetSound, std::unique_ptr<Platform::AudioPlayer>> m_players;
    // So that the first request is never too soon.
    double m_lastPlayedAt { std::numeric_limits<double>::lowest() };
    std::unordered_set<PupnikCore::PetSound> m_missingLogged;
};

}
