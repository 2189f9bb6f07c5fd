#pragma once

#include "PawletKit/ApprovalDecision.hpp"
#include "PawletKit/ApprovalRequest.hpp"
#include "PawletKit/ApprovalStore.hpp"
#include "PawletKit/CodexRolloutTailer.hpp"
#include "PawletKit/EngineConfig.hpp"
#include "PawletKit/Paths.hpp"
#include "PawletKit/PawletEngine.hpp"
#include "PawletKit/PawletState.hpp"
#include "PawletKit/ProcessActivitySource.hpp"
#include "PawletKit/SpoolReader.hpp"
#include "platform/Clock.hpp"
#include "platform/Scheduler.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Pupnik {

// The application's main loop: every quarter second it drains the event spool, the codex
// transcripts and the process sampler into the engine, keeps the pending approval requests
// current and hands the engine's state to its observer. Main thread only.
class EngineDriver final {
public:
    static constexpr double tickInterval = 0.25;
    // Seconds between looks at which agents the process sampler leaves to their own sources.
    static constexpr double exclusionRefreshInterval = 10;
    // Seconds between sweeps of approval requests that expired or whose hook has gone.
    static constexpr double orphanSweepInterval = 1;
    // Seconds between checks whether the codex summary in the log has changed.
    static constexpr double codexSummaryInterval = 60;
    // Seconds after the start at which the codex source reports once how it is doing.
    static constexpr double codexFirstReportDelay = 5;

    struct Sources {
        // Where the codex transcripts live; the tailer's default when absent.
        std::optional<std::filesystem::path> codexSessionsDir;
        PawletKit::EngineConfig config = PawletKit::EngineConfig::defaults();
        // The process table; the /proc sampler when absent.
        std::shared_ptr<PawletKit::ProcessSampler> sampler;
    };

    EngineDriver(PawletKit::Paths const& paths, Sources sources, Platform::Scheduler& scheduler, Platform::Clock const& clock);
    ~EngineDriver();
    EngineDriver(EngineDriver const&) = delete;
    EngineDriver& operator=(EngineDriver const&) = delete;

    void start();
    void tick();
    void stop();
    bool answer(std::string const& id, PawletKit::ApprovalDecision decision);

    bool codexEnabled { true };
    bool processEnabled { true };
    std::function<bool()> claudeHooksInstalled { [] { return false; } };
    std::function<void(PawletKit::PawletState const&)> onState;
    std::function<void(std::vector<PawletKit::ApprovalRequest> const&)> onApprovals;

    std::vector<PawletKit::ApprovalRequest> const& pendingApprovals() const { return m_pendingApprovals; }
    PawletKit::PawletEngine& engine() { return m_engine; }
    PawletKit::CodexRolloutTailer const& codex() const { return m_codex; }
    PawletKit::ProcessActivitySource const& processes() const { return m_processes; }
    int64_t eventsSeen() const { return m_eventsSeen; }
    int64_t codexEventsSeen() const { return m_codexEventsSeen; }
    int64_t processEventsSeen() const { return m_processEventsSeen; }
    bool isRunning() const { return m_timer != nullptr; }

private:
    void updateExclusions(bool force);
    void refreshApprovals(PawletKit::Date now);
    void logCodexSummary();

    Platform::Scheduler& m_scheduler;
    Platform::Clock const& m_clock;
    PawletKit::SpoolReader m_reader;
    PawletKit::CodexRolloutTailer m_codex;
    PawletKit::ProcessActivitySource m_processes;
    PawletKit::PawletEngine m_engine;
    PawletKit::ApprovalStore m_approvals;
    int64_t m_eventsSeen { 0 };
    int64_t m_codexEventsSeen { 0 };
    int64_t m_processEventsSeen { 0 };
    std::unique_ptr<Platform::ScheduledWork> m_timer;
    std::unique_ptr<Platform::ScheduledWork> m_summaryTimer;
    // Rate limits run on the monotonic clock, so a wall-clock jump neither stalls nor floods them.
    std::optional<double> m_lastExclusionUpdate;
    std::optional<double> m_lastSummaryLoggedAt;
    std::optional<double> m_lastOrphanSweep;
    std::string m_lastSummaryText;
    std::vector<PawletKit::ApprovalRequest> m_pendingApprovals;
};

}
