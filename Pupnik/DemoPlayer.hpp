#pragma once

#include "app-core/Clip.hpp"
#include "platform/Scheduler.hpp"

#include <functional>
#include <memory>
#include <optional>

namespace Pupnik {

// Demo mode: one fixed clip shown instead of what the agents do. A clip plays until it is turned
// off, or for a while (the menu's demo rows); leaving it returns to the clip the application was
// launched with, else to the live state. Main thread only.
class DemoPlayer final {
public:
    struct Hooks {
        // Shows the clip on the pet, the publisher and the tray icon.
        std::function<void(PupnikCore::Clip)> show;
        // Shows the live state at once, starting the engine driver when there is none.
        std::function<void()> showLive;
    };

    DemoPlayer(Platform::Scheduler& scheduler, std::optional<PupnikCore::Clip> launchClip, Hooks hooks);
    DemoPlayer(DemoPlayer const&) = delete;
    DemoPlayer& operator=(DemoPlayer const&) = delete;

    // The clip in force; absent while the live state drives the pet.
    std::optional<PupnikCore::Clip> clip() const { return m_clip; }
    bool hasTimer() const { return m_timer != nullptr; }

    // Replaces the clip in force and any running end; with seconds, the demo ends by itself then.
    void play(PupnikCore::Clip clip, std::optional<double> seconds = std::nullopt);
    void stop();

private:
    Platform::Scheduler& m_scheduler;
    std::optional<PupnikCore::Clip> m_launchClip;
    Hooks m_hooks;
    std::optional<PupnikCore::Clip> m_clip;
    std::unique_ptr<Platform::ScheduledWork> m_timer;
};

}
