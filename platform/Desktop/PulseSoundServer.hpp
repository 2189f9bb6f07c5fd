#pragma once

#include "platform/OutputMuteQuery.hpp"
#include "platform/WaveFile.hpp"

#include <memory>
#include <optional>
#include <string>

namespace Platform {

// The desktop's sound server (PulseAudio, or PipeWire's PulseAudio service) through libpulse, on a
// thread of its own. Each sound is uploaded once into the server's sample cache and played from there
// by name, so a sound counts as played only when the server answers that it took it. The default
// output's mute is followed through the server's change events. A caller waits a moment at most for
// the server's word, and while a server keeps it waiting, later callers do not wait at all; a server
// that is missing or lost is looked for again now and then, and said once in the log.
class PulseSoundServer final : public OutputMuteQuery {
public:
    struct Timing {
        // How long play() and isMuted() wait for the server's answer.
        double waitSeconds { 0.25 };
        // A missing or lost server is looked for again no sooner than this.
        double retrySeconds { 5 };
    };
    using SoundId = int;

    // `address` as PULSE_SERVER takes it ("unix:/run/user/1000/pulse/native"); absent, the server
    // libpulse finds by itself. A server is never started for us.
    explicit PulseSoundServer(std::optional<std::string> address = {});
    PulseSoundServer(std::optional<std::string> address, Timing timing);
    ~PulseSoundServer() override;
    PulseSoundServer(PulseSoundServer const&) = delete;
    PulseSoundServer& operator=(PulseSoundServer const&) = delete;

    struct Added {
        std::optional<SoundId> sound;
        // Why there is none, for the log.
        std::string error;
    };
    // Kept as long as the server object; uploaded now, or as soon as the server is reached.
    Added add(std::string const& fileName, WaveFile const& wave);
    // From its start; whether the server took it.
    bool play(SoundId sound);
    bool isPlaying(SoundId sound) const;
    void stop(SoundId sound);

    bool isMuted() override;

    struct State;

private:
    std::unique_ptr<State> m_state;
};

}
