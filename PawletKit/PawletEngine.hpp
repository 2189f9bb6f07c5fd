#pragma once

#include "PawletKit/Date.hpp"
#include "PawletKit/EngineConfig.hpp"
#include "PawletKit/PawletState.hpp"
#include "PawletKit/ProcInfo.hpp"
#include "PawletKit/SessionTarget.hpp"
#include "PawletKit/SpoolEvent.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace PawletKit {

// Turns the stream of agent events into the pet's state. Passive: it owns no timer, thread or file,
// and everything happens inside the calls of its one owner, all made from one thread. Times inside
// are seconds since 1970.
class PawletEngine final {
public:
    using Clock = std::function<Date()>;

    // The clock serves ingestion only until the first state() call; from then on the latest `now`
    // given to state() is the engine's present.
    explicit PawletEngine(EngineConfig config = EngineConfig::defaults(), Clock clock = &Date::now);

    EngineConfig const& config() const { return m_config; }

    // Folds one event into the sessions. An event the engine cannot use is dropped silently.
    void ingest(SpoolEvent const& event);

    // Sessions with an open approval request, as the owner last listed them.
    std::set<std::string> const& pendingApprovalSids() const { return m_pendingApprovalSids; }
    void setPendingApprovalSids(std::set<std::string> sids) { m_pendingApprovalSids = std::move(sids); }
    // The user answered the session's request: it no longer waits.
    void resolveApproval(std::string const& sid);

    // Not a pure read: advances the present, ends due hunger, forgets quiet sessions and ends
    // timed-out waits.
    PawletState state(Date now);

    // Waiting sessions and pending approvals, latest first. Changes nothing.
    std::vector<SessionTarget> sessionTargets(Date now) const;

    // A "StopFailure" that reports a usage or rate limit.
    static bool isRateLimitFailure(SpoolEvent const& event);

private:
    enum class Window {
        fiveHour,
        sevenDay,
    };
    static constexpr size_t windowCount = 2;
    static constexpr std::array<Window, windowCount> allWindows { Window::fiveHour, Window::sevenDay };

    struct WindowReading {
        std::optional<double> used;
        std::optional<double> resetsAt;
    };

    // One session's latest usage-limit reading, per window.
    struct SessionQuota {
        std::array<std::optional<WindowReading>, windowCount> windows;
        // The latest status line that carried limits.
        double at { 0 };

        std::optional<WindowReading> const& operator[](Window window) const { return windows[static_cast<size_t>(window)]; }
        std::optional<WindowReading>& operator[](Window window) { return windows[static_cast<size_t>(window)]; }
    };

    struct Session {
        // Latest hook event, or status line that showed progress.
        double lastActivityTs { 0 };
        // Latest event of any kind; sessions are forgotten by it.
        double lastTouchTs { 0 };
        // Latest hook event proper; status lines never set it.
        std::optional<double> lastRealEventTs;
        std::optional<SessionQuota> quota;
        // The turn is over (new, stopped or waiting for the user): never busy.
        bool terminal { true };
        // Decaying sum of event weights, last brought up to date at activityAt.
        double activity { 0 };
        double activityAt { 0 };
        int64_t inflightTools { 0 };
        std::optional<double> waitingSince;
        std::optional<double> lastTokens;
        std::optional<double> lastCost;
        std::optional<ProcInfo> proc;
        std::optional<std::string> cwd;
    };

    using Sessions = std::unordered_map<std::string, Session>;

    void handleHookEvent(SpoolEvent const& event, std::string const& sid);
    void handleStatusLine(SpoolEvent const& event, std::string const& sid);
    // The tracked record, or a new one entered at ts.
    Session& session(std::string const& sid, double ts);
    void addActivity(Session& session, double weight, double ts) const;
    void raiseLastEventTs(double ts);
    void forgetSessions(double lo, double hi);

    bool isExhausted(WindowReading const& reading, double now) const;
    bool isCleared(WindowReading const& reading, double now) const;
    bool isRecentRealEvent(Session const& session, double now) const;
    void markHungry(double ts);
    void clearHunger(bool happy, double ts);
    void updateHunger(double ts);
    void expireHunger(double t);
    std::map<std::string, QuotaInfo> quotaBySource(double t) const;

    static SessionTarget makeTarget(std::string const& sid, ProcInfo const* proc, std::optional<std::string> const& cwd, Date since);

    EngineConfig m_config;
    Clock m_clock;
    Sessions m_sessions;
    std::set<std::string> m_pendingApprovalSids;
    std::optional<double> m_lastEventTs;
    std::optional<double> m_lastSeenTs;
    std::optional<double> m_lastNow;
    bool m_hungry { false };
    std::optional<double> m_hungerSince;
    std::map<Window, std::optional<double>> m_exhausted;
    std::optional<double> m_hungerFallbackAt;
    std::optional<double> m_happyUntil;
    QuotaInfo m_quota;
};

}
