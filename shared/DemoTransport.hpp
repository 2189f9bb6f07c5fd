#pragma once

#include "PawletKit/Date.hpp"
#include "platform/Scheduler.hpp"
#include "shared/Clip.hpp"
#include "shared/DemoAgents.hpp"
#include "shared/StatusTransport.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace PawletShared {

// Plays made-up snapshots without any agent: every clip with every agent set in a fixed cycle of
// 28 steps, one step per interval, or one held clip (and agent set) without a timer. Delivers on
// the main thread: the thread that made the transport.
class DemoTransport final : public StatusTransport {
public:
    using Now = std::function<PawletKit::Date()>;

    static constexpr std::array<Clip, 7> clipCycle = allClips;
    static constexpr std::array<DemoAgents, 4> agentCycle { DemoAgents::claude, DemoAgents::codex, DemoAgents::both, DemoAgents::none };
    static constexpr int64_t cycleLength = int64_t(clipCycle.size() * agentCycle.size());

    // The scheduler must outlive the transport.
    DemoTransport(double interval, std::optional<Clip> hold, std::optional<DemoAgents> holdAgents, Now now, Platform::Scheduler& mainThread);
    // Cancels the timer, so a transport dropped without stop() leaves nothing scheduled.
    ~DemoTransport() override;
    DemoTransport(DemoTransport const&) = delete;
    DemoTransport& operator=(DemoTransport const&) = delete;

    // Delivers at once, then (unless a clip is held) steps the cycle every interval.
    void start() override;
    // The position in the cycle is kept for the next start.
    void stop() override;
    void refresh() override;

    // One step of the cycle, then delivery.
    void advance();

    Clip currentClip() const;
    DemoAgents currentAgents() const;
    int64_t index() const { return m_index; }
    bool isCycling() const { return m_timer != nullptr; }

private:
    // False when an observer dropped the transport while being told: nothing of it may be touched then.
    bool deliver();

    double m_interval;
    std::optional<Clip> m_hold;
    std::optional<DemoAgents> m_holdAgents;
    int64_t m_index { 0 };
    Now m_now;
    Platform::Scheduler& m_mainThread;
    std::thread::id m_mainThreadID;
    std::unique_ptr<Platform::ScheduledWork> m_timer;
    // What the timer and work posted from other threads hold weakly.
    std::shared_ptr<DemoTransport*> m_anchor;
};

}
