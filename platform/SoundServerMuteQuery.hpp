#pragma once

#include "PawletKit/Environment.hpp"
#include "PawletKit/ProcessRunner.hpp"
#include "platform/OutputMuteQuery.hpp"

#include <memory>
#include <optional>
#include <string_view>

namespace Platform {

// Asks the desktop's sound server about its default output with its own tools: `wpctl` (PipeWire),
// else `pactl` (PulseAudio, or PipeWire's PulseAudio service). The tools run on a thread of their
// own, each bounded; the caller waits a moment for a fresh answer and otherwise takes the last one,
// so a sound server that hangs never holds up the application. Answers are kept a few seconds, and
// while the question keeps coming they are renewed before they lapse, so a change the user makes is
// seen without anyone waiting for it.
class SoundServerMuteQuery final : public OutputMuteQuery {
public:
    struct Timing {
        // How long an answer is kept.
        double keepSeconds { 5 };
        // Renewed this long after the last answer, while there was a question in the last minute.
        double renewSeconds { 4 };
        double inUseSeconds { 60 };
        // How long isMuted() waits for an answer it asked for.
        double waitSeconds { 0.25 };
        // Per tool run.
        double toolTimeout { 2 };
    };

    // The tools get the environment given, in the C locale, and are looked for on its PATH.
    SoundServerMuteQuery(std::shared_ptr<PawletKit::ProcessRunner const> runner, PawletKit::Environment environment);
    SoundServerMuteQuery(std::shared_ptr<PawletKit::ProcessRunner const> runner, PawletKit::Environment environment, Timing timing);
    // Never waits for a tool still running: its thread finishes on its own.
    ~SoundServerMuteQuery() override;

    bool isMuted() override;

    // The tools' answers read: muted, not muted, or not understood (absent).
    // "Volume: 0.40" or "Volume: 0.40 [MUTED]".
    static std::optional<bool> wpctlMuted(std::string_view output);
    // "Mute: yes" / "Mute: no".
    static std::optional<bool> pactlMute(std::string_view output);
    // "Volume: front-left: 0 /   0% / -inf dB,   front-right: ..."; silent when every channel is.
    static std::optional<bool> pactlSilentVolume(std::string_view output);
    // Volumes at or below this count as silent.
    static constexpr double silentVolume = 0.0001;

private:
    struct State;
    static bool ask(State& state);

    std::shared_ptr<State> m_state;
};

}
