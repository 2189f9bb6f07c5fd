#include "Pupnik/EngineDriver.hpp"

#include "PawletKit/ProcFileSystemSampler.hpp"
#include "platform/Log.hpp"

#include <set>

namespace Pupnik {

using PawletKit::Date;

namespace {

bool sameIds(std::vector<PawletKit::ApprovalRequest> const& a, std::vector<PawletKit::ApprovalRequest> const& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].id != b[i].id)
            return false;
    return true;
}

std::set<std::string> sessionIds(std::vector<PawletKit::ApprovalRequest> const& requests)
{
    std::set<std::string> sids;
    for (auto const& request : requests)
        if (!request.sessionId.empty())
            sids.insert(request.sessionId);
    return sids;
}

}

EngineDriver::EngineDriver(PawletKit::Paths const& paths, Sources sources, Platform::Scheduler& scheduler, Platform::Clock const& clock)
    : m_scheduler(scheduler)
    , m_clock(clock)
    , m_reader(paths)
    , m_codex(sources.codexSessionsDir.value_or(PawletKit::CodexRolloutTailer::defaultBaseDir()), PawletKit::CodexRolloutTailer::Config {},
          PawletKit::CodexRolloutTailer::localCalendar(), [&clock] { return Date::fromSeconds(clock.now()); })
    , m_processes(sources.sampler ? sources.sampler : std::make_shared<PawletKit::ProcFileSystemSampler>(),
          PawletKit::ProcessActivitySource::defaultAgentNames(), [&clock] { return Date::fromSeconds(clock.now()); })
    , m_engine(sources.config, [&clock] { return Date::fromSeconds(clock.now()); })
    , m_approvals(paths.approvalsDirectory())
{
    // The agent tool writes no events while something else stands at the event file, and says so
    // only in its own log; this is where the user looks.
    m_reader.setLogHook([](std::string_view line) { Platform::Log::line(line); });
}

EngineDriver::~EngineDriver() = default;

void EngineDriver::start()
{
    m_reader.skipToEnd();
    // Requests left from an earlier run may still have an agent tool waiting on them (the application
    // was restarted while a permission prompt was open): only what the sweep finds stale goes.
    m_approvals.ensureDirectory();
    for (auto const& id : m_approvals.sweep(Date::fromSeconds(m_clock.now())))
        Platform::Log::line("approval: swept orphan " + id);
    m_lastOrphanSweep = m_clock.monotonic();

    auto const& base = m_codex.baseDir();
    if (m_codex.isAvailable()) {
        m_codex.start();
        auto const& config = m_codex.config();
        Platform::Log::line("codex: " + std::to_string(m_codex.trackedFileCount()) + " rollout candidates (modified < "
            + std::to_string(int64_t(config.recentWindow / 3600)) + " h) under " + base.string() + " — opened at EOF, "
            + std::to_string(m_codex.bytesRead()) + " bytes read; a candidate idle > " + std::to_string(int64_t(config.idleForget / 3600))
            + " h is closed again");
        m_summaryTimer = m_scheduler.after(codexFirstReportDelay, [this] {
            Platform::Log::line("codex: after 5 s — " + m_codex.statusText());
            m_summaryTimer.reset();
        });
    } else {
        // Most users have no Codex: one plain line at start, not an error.
        Platform::Log::line("codex: not installed (no " + base.string() + ")");
    }
    updateExclusions(true);
    m_timer = m_scheduler.repeating(tickInterval, [this] { tick(); });
    tick();
}

void EngineDriver::stop()
{
    m_timer.reset();
    m_summaryTimer.reset();
}

void EngineDriver::tick()
{
    auto now = Date::fromSeconds(m_clock.now());
    updateExclusions(false);
    for (auto const& event : m_reader.poll()) {
        m_engine.ingest(event);
        ++m_eventsSeen;
    }
    if (codexEnabled && m_codex.isAvailable()) {
        for (auto const& event : m_codex.poll(now)) {
            m_engine.ingest(event);
            ++m_codexEventsSeen;
        }
    }
    if (processEnabled) {
        for (auto const& event : m_processes.poll(now)) {
            m_engine.ingest(event);
            ++m_processEventsSeen;
        }
    }
    refreshApprovals(now);
    logCodexSummary();
    if (onState)
        onState(m_engine.state(now));
}

void EngineDriver::updateExclusions(bool force)
{
    double t = m_clock.monotonic();
    if (!force && m_lastExclusionUpdate && t - *m_lastExclusionUpdate < exclusionRefreshInterval)
        return;
    m_lastExclusionUpdate = t;
    PawletKit::ProcessNames excluded;
    if (claudeHooksInstalled && claudeHooksInstalled())
        excluded.insert("claude");
    if (m_codex.isAvailable())
        excluded.insert("codex");
    m_processes.excludedNames = std::move(excluded);
}

void EngineDriver::refreshApprovals(Date now)
{
    double t = m_clock.monotonic();
    if (!m_lastOrphanSweep || t - *m_lastOrphanSweep >= orphanSweepInterval) {
        m_lastOrphanSweep = t;
        for (auto const& id : m_approvals.sweep(now))
            Platform::Log::line("approval: swept orphan " + id);
    }
    auto pending = m_approvals.pendingRequests();
    m_engine.setPendingApprovalSids(sessionIds(pending));
    if (!sameIds(pending, m_pendingApprovals)) {
        m_pendingApprovals = std::move(pending);
        if (onApprovals)
            onApprovals(m_pendingApprovals);
    }
}

void EngineDriver::logCodexSummary()
{
    if (!m_codex.isAvailable())
        return;
    double t = m_clock.monotonic();
    if (m_lastSummaryLoggedAt && t - *m_lastSummaryLoggedAt < codexSummaryInterval)
        return;
    m_lastSummaryLoggedAt = t;
    auto text = m_codex.statusText();
    if (text != m_lastSummaryText) {
        m_lastSummaryText = text;
        Platform::Log::line("codex: " + text);
    }
}

bool EngineDriver::answer(std::string const& id, PawletKit::ApprovalDecision decision)
{
    std::optional<PawletKit::ApprovalRequest> request;
    for (auto const& pending : m_pendingApprovals) {
        if (pending.id == id) {
            request = pending;
            break;
        }
    }
    if (!request)
        request = m_approvals.request(id);
    if (!request)
        return false;
    if (!m_approvals.writeReply(id, decision)) {
        Platform::Log::line("approval: could not write the reply for " + id);
        return false;
    }
    Platform::Log::line(std::string("approval: ") + std::string(decision.rawValue()) + " " + id);
    if (!request->sessionId.empty())
        m_engine.resolveApproval(request->sessionId);
    std::erase_if(m_pendingApprovals, [&](auto const& pending) { return pending.id == id; });
    m_engine.setPendingApprovalSids(sessionIds(m_pendingApprovals));
    if (onApprovals)
        onApprovals(m_pendingApprovals);
    if (onState)
        onState(m_engine.state(Date::fromSeconds(m_clock.now())));
    return true;
}

}
