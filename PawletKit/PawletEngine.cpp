#include "PawletKit/PawletEngine.hpp"

#include "PawletKit/ASCII.hpp"
#include "PawletKit/HookEvent.hpp"
#include "PawletKit/JSON.hpp"
#include "PawletKit/SessionSource.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace PawletKit {

namespace {

// The id under which events without a session id are filed.
std::string const& unknownSessionId()
{
    static std::string const id = "?";
    return id;
}

constexpr std::array<std::string_view, 3> waitingMatchers { "permission_prompt", "agent_needs_input", "elicitation_dialog" };
constexpr std::string_view autoResumeMatcher = "quota_auto_resume_fired";
constexpr std::array<std::string_view, 7> rateLimitKeys { "error_type", "error", "errorType", "reason", "type", "failure_type", "matcher" };

void raise(std::optional<double>& value, double ts)
{
    if (!value || ts > *value)
        value = ts;
}

bool isWaitingMatcher(std::string_view matcher)
{
    return std::find(waitingMatchers.begin(), waitingMatchers.end(), matcher) != waitingMatchers.end();
}

// Orders quota readings: the most recent hook event first (none last), then the newest reading.
bool isMoreRelevant(std::optional<double> realEventTs, double at, std::optional<double> otherRealEventTs, double otherAt)
{
    if (realEventTs.has_value() != otherRealEventTs.has_value())
        return realEventTs.has_value();
    if (realEventTs && *realEventTs != *otherRealEventTs)
        return *realEventTs > *otherRealEventTs;
    return at > otherAt;
}

// A decimal 32-bit number with an optional sign and nothing else; zero when it is anything other.
int32_t processIdFromText(std::string_view text)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return 0;
    int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    return value;
}

}

PawletEngine::PawletEngine(EngineConfig config, Clock clock)
    : m_config(std::move(config))
    , m_clock(std::move(clock))
{
}

void PawletEngine::ingest(SpoolEvent const& event)
{
    double ts = event.ts;
    if (!std::isfinite(ts) || ts <= 0)
        return;
    double now = m_lastNow ? *m_lastNow : m_clock().secondsSince1970;
    if (ts > now + m_config.maxFutureSkew)
        return;
    // Stale only when older than both the newest accepted event and the present allow.
    if (m_lastSeenTs && ts < *m_lastSeenTs - m_config.maxStaleSkew && ts < now - m_config.maxStaleSkew)
        return;
    raise(m_lastSeenTs, ts);

    std::string const& sid = event.sid ? *event.sid : unknownSessionId();
    if (event.isStatusline())
        handleStatusLine(event, sid);
    else
        handleHookEvent(event, sid);

    forgetSessions(ts - m_config.sessionForgetAfter, ts + m_config.maxFutureSkew);
}

PawletEngine::Session& PawletEngine::session(std::string const& sid, double ts)
{
    auto [it, inserted] = m_sessions.try_emplace(sid);
    if (inserted) {
        it->second.lastActivityTs = ts;
        it->second.lastTouchTs = ts;
        it->second.activityAt = ts;
    }
    return it->second;
}

void PawletEngine::raiseLastEventTs(double ts)
{
    raise(m_lastEventTs, ts);
}

void PawletEngine::addActivity(Session& session, double weight, double ts) const
{
    double activity = session.activity;
    if (ts - session.activityAt > 0)
        activity *= std::exp(-(ts - session.activityAt) / m_config.tau);
    session.activity = activity + std::max(weight, 0.0);
    if (session.activityAt < ts)
        session.activityAt = ts;
}

void PawletEngine::forgetSessions(double lo, double hi)
{
    std::erase_if(m_sessions, [lo, hi](auto const& entry) {
        double touched = entry.second.lastTouchTs;
        return !(lo <= touched && touched <= hi);
    });
}

void PawletEngine::handleHookEvent(SpoolEvent const& event, std::string const& sid)
{
    double ts = event.ts;
    raiseLastEventTs(ts);

    if (event.ev == HookEvent::sessionEnd) {
        m_sessions.erase(sid);
        updateHunger(ts);
        return;
    }

    Session& s = session(sid, ts);
    s.lastTouchTs = std::max(s.lastTouchTs, ts);
    if (auto proc = ProcInfo::fromJSON(JSON::member(&event.data, SpoolEvent::procKey)))
        s.proc = std::move(*proc);
    if (auto cwd = JSON::toString(JSON::member(&event.data, "cwd")); cwd && cwd->starts_with('/'))
        s.cwd = std::move(*cwd);
    raise(s.lastRealEventTs, ts);

    auto beginWork = [&](double weight) {
        s.waitingSince.reset();
        s.terminal = false;
        addActivity(s, weight, ts);
    };
    auto endTurn = [&] {
        s.waitingSince.reset();
        s.inflightTools = 0;
        s.terminal = true;
    };
    auto waitForUser = [&] {
        s.waitingSince = ts;
        s.terminal = true;
    };
    auto otherEvent = [&] {
        s.terminal = false;
        addActivity(s, 0, ts);
    };

    std::string const& name = event.ev;
    if (name == HookEvent::stop) {
        endTurn();
    } else if (name == HookEvent::stopFailure) {
        endTurn();
        if (isRateLimitFailure(event))
            markHungry(ts);
    } else if (name == HookEvent::userPromptSubmit) {
        s.inflightTools = 0;
        beginWork(m_config.weightUserPromptSubmit);
    } else if (name == HookEvent::preToolUse) {
        s.inflightTools += 1;
        beginWork(m_config.weightPreToolUse);
    } else if (name == HookEvent::postToolUse || name == HookEvent::postToolUseFailure) {
        s.inflightTools = std::max<int64_t>(s.inflightTools - 1, 0);
        beginWork(name == HookEvent::postToolUse ? m_config.weightPostToolUse : m_config.weightPostToolUseFailure);
    } else if (name == HookEvent::subagentStart) {
        s.terminal = false;
        addActivity(s, m_config.weightSubagentStart, ts);
    } else if (name == HookEvent::permissionRequest) {
        waitForUser();
    } else if (name == HookEvent::notification) {
        std::string matcher = event.notificationType().value_or("");
        if (isWaitingMatcher(matcher)) {
            waitForUser();
        } else {
            if (matcher == autoResumeMatcher) {
                if (m_hungry)
                    clearHunger(true, ts);
                else if (!(m_happyUntil && ts < *m_happyUntil))
                    m_happyUntil = ts + m_config.happyDuration;
            }
            otherEvent();
        }
    } else {
        otherEvent();
    }

    s.lastActivityTs = std::max(s.lastActivityTs, ts);
    updateHunger(ts);
}

void PawletEngine::handleStatusLine(SpoolEvent const& event, std::string const& sid)
{
    double ts = event.ts;
    JSON::Value const* data = &event.data;
    Session& s = session(sid, ts);
    s.lastTouchTs = std::max(s.lastTouchTs, ts);
    if (auto cwd = JSON::toString(JSON::member(data, "cwd")); cwd && cwd->starts_with('/'))
        s.cwd = std::move(*cwd);

    auto input = JSON::toDouble(JSON::lookup(data, { "context_window", "total_input_tokens" }));
    auto output = JSON::toDouble(JSON::lookup(data, { "context_window", "total_output_tokens" }));
    std::optional<double> tokens;
    if (input || output)
        tokens = input.value_or(0) + output.value_or(0);
    std::optional<double> growth;
    if (tokens && s.lastTokens && *s.lastTokens < *tokens)
        growth = *tokens - *s.lastTokens;
    if (tokens)
        s.lastTokens = tokens;

    bool costRose = false;
    if (auto cost = JSON::toDouble(JSON::lookup(data, { "cost", "total_cost_usd" }))) {
        costRose = s.lastCost && *s.lastCost < *cost;
        s.lastCost = cost;
    }

    // Progress only counts while the turn runs; totals are remembered either way so that growth
    // during a finished turn is never counted later.
    if ((growth || costRose) && !s.terminal) {
        double units = growth ? *growth / std::max(m_config.statuslineTokensPerUnit, 1.0) : 0;
        addActivity(s, std::min(units, m_config.statuslineWeightCap), ts);
        s.lastActivityTs = std::max(s.lastActivityTs, ts);
        raiseLastEventTs(ts);
    }

    SessionQuota fresh;
    bool anyWindow = false;
    for (Window window : allWindows) {
        auto const* limits = JSON::lookup(data, { "rate_limits", window == Window::fiveHour ? "five_hour" : "seven_day" });
        if (!limits || !limits->is_object())
            continue;
        fresh[window] = WindowReading {
            .used = JSON::toDouble(JSON::member(limits, "used_percentage")),
            .resetsAt = JSON::timestamp(JSON::member(limits, "resets_at")),
        };
        anyWindow = true;
    }
    if (anyWindow) {
        SessionQuota quota = s.quota.value_or(SessionQuota {});
        for (Window window : allWindows)
            if (fresh[window])
                quota[window] = fresh[window];
        quota.at = std::max(s.quota ? s.quota->at : 0.0, ts);
        s.quota = quota;
    }

    updateHunger(ts);
}

bool PawletEngine::isRateLimitFailure(SpoolEvent const& event)
{
    if (event.m == "rate_limit")
        return true;
    for (std::string_view key : rateLimitKeys) {
        auto text = JSON::toString(JSON::member(&event.data, key));
        if (!text)
            continue;
        std::string lowered = ASCII::lowercased(*text);
        if (lowered.find("rate_limit") != std::string::npos || lowered.find("rate limit") != std::string::npos
            || lowered.find("usage limit") != std::string::npos)
            return true;
    }
    return false;
}

void PawletEngine::resolveApproval(std::string const& sid)
{
    m_pendingApprovalSids.erase(sid);
    if (auto it = m_sessions.find(sid); it != m_sessions.end())
        it->second.waitingSince.reset();
}

// MARK: Hunger and quota

bool PawletEngine::isExhausted(WindowReading const& reading, double now) const
{
    return reading.used.value_or(0) >= m_config.hungryAtPercent && (!reading.resetsAt || *reading.resetsAt > now);
}

bool PawletEngine::isCleared(WindowReading const& reading, double now) const
{
    return reading.used.value_or(100) < m_config.hungryClearBelowPercent || (reading.resetsAt && *reading.resetsAt <= now);
}

bool PawletEngine::isRecentRealEvent(Session const& session, double now) const
{
    return session.lastRealEventTs && now - *session.lastRealEventTs <= m_config.quotaStaleAfter
        && *session.lastRealEventTs <= now + m_config.maxFutureSkew;
}

void PawletEngine::markHungry(double ts)
{
    if (!m_hungry) {
        m_hungry = true;
        m_hungerSince = ts;
    }
    if (m_exhausted.empty() && !m_hungerFallbackAt)
        m_hungerFallbackAt = ts + m_config.hungerFallback;
}

void PawletEngine::clearHunger(bool happy, double ts)
{
    m_hungry = false;
    m_hungerSince.reset();
    m_exhausted.clear();
    m_hungerFallbackAt.reset();
    // A running spell is not lengthened.
    if (happy && (!m_happyUntil || ts >= *m_happyUntil))
        m_happyUntil = ts + m_config.happyDuration;
}

void PawletEngine::updateHunger(double ts)
{
    // The readings of sessions with a recent hook event win; when no session has one, every reading
    // counts. Per window, the most relevant reading that holds it is taken.
    bool anyReading = false;
    bool anyFresh = false;
    for (auto const& [sid, s] : m_sessions) {
        if (!s.quota)
            continue;
        anyReading = true;
        if (s.lastRealEventTs && ts - *s.lastRealEventTs <= m_config.quotaStaleAfter)
            anyFresh = true;
    }
    if (!anyReading)
        return;

    std::array<std::pair<std::string const*, Session const*>, windowCount> best {};
    for (auto const& [sid, s] : m_sessions) {
        if (!s.quota)
            continue;
        bool fresh = s.lastRealEventTs && ts - *s.lastRealEventTs <= m_config.quotaStaleAfter;
        if (anyFresh && !fresh)
            continue;
        for (Window window : allWindows) {
            if (!(*s.quota)[window])
                continue;
            auto& [bestSid, bestSession] = best[static_cast<size_t>(window)];
            bool better = !bestSession
                || isMoreRelevant(s.lastRealEventTs, s.quota->at, bestSession->lastRealEventTs, bestSession->quota->at)
                || (!isMoreRelevant(bestSession->lastRealEventTs, bestSession->quota->at, s.lastRealEventTs, s.quota->at) && sid < *bestSid);
            if (better) {
                bestSid = &sid;
                bestSession = &s;
            }
        }
    }

    std::array<std::optional<WindowReading>, windowCount> merged;
    for (Window window : allWindows)
        if (auto const* s = best[static_cast<size_t>(window)].second)
            merged[static_cast<size_t>(window)] = (*s->quota)[window];
    auto const& fiveHour = merged[static_cast<size_t>(Window::fiveHour)];
    auto const& sevenDay = merged[static_cast<size_t>(Window::sevenDay)];
    if (!fiveHour && !sevenDay)
        return;

    auto asDate = [](std::optional<double> seconds) -> std::optional<Date> {
        if (!seconds)
            return std::nullopt;
        return Date::fromSeconds(*seconds);
    };
    if (fiveHour) {
        m_quota.fiveHourUsed = fiveHour->used;
        m_quota.fiveHourResetsAt = asDate(fiveHour->resetsAt);
    }
    if (sevenDay) {
        m_quota.sevenDayUsed = sevenDay->used;
        m_quota.sevenDayResetsAt = asDate(sevenDay->resetsAt);
    }

    std::vector<Window> exhaustedNow;
    std::vector<Window> clearedNow;
    for (Window window : allWindows) {
        auto const& reading = merged[static_cast<size_t>(window)];
        if (!reading)
            continue;
        if (isExhausted(*reading, ts))
            exhaustedNow.push_back(window);
        if (isCleared(*reading, ts))
            clearedNow.push_back(window);
    }

    if (exhaustedNow.empty()) {
        if (!m_hungry)
            return;
        if (m_exhausted.empty()) {
            // A hunger begun by a rate-limit event waits for a cleared window or its fallback time.
            if (!clearedNow.empty())
                clearHunger(true, ts);
            return;
        }
        for (Window window : clearedNow)
            m_exhausted.erase(window);
        if (m_exhausted.empty())
            clearHunger(true, ts);
        return;
    }

    if (!m_hungry) {
        m_hungry = true;
        m_hungerSince = ts;
    }
    for (Window window : exhaustedNow)
        m_exhausted[window] = merged[static_cast<size_t>(window)]->resetsAt;
    for (Window window : clearedNow)
        m_exhausted.erase(window);
    bool someResetUnknown = std::any_of(m_exhausted.begin(), m_exhausted.end(), [](auto const& entry) { return !entry.second; });
    if (someResetUnknown) {
        if (!m_hungerFallbackAt)
            m_hungerFallbackAt = ts + m_config.hungerFallback;
    } else {
        m_hungerFallbackAt.reset();
    }
}

void PawletEngine::expireHunger(double t)
{
    if (!m_hungry)
        return;
    bool everyResetKnown = !m_exhausted.empty()
        && std::all_of(m_exhausted.begin(), m_exhausted.end(), [](auto const& entry) { return entry.second.has_value(); });
    if (everyResetKnown) {
        double latestReset = -std::numeric_limits<double>::infinity();
        for (auto const& [window, resetsAt] : m_exhausted)
            latestReset = std::max(latestReset, *resetsAt);
        if (t >= latestReset)
            clearHunger(t - latestReset <= m_config.happyGrace, t);
        return;
    }
    if (m_hungerFallbackAt && *m_hungerFallbackAt <= t)
        clearHunger(t - *m_hungerFallbackAt <= m_config.happyGrace, t);
}

std::map<std::string, QuotaInfo> PawletEngine::quotaBySource(double t) const
{
    constexpr size_t sourceCount = allSessionSources.size();
    std::array<bool, sourceCount> anyFresh {};
    for (auto const& [sid, s] : m_sessions)
        if (s.quota && isRecentRealEvent(s, t))
            anyFresh[static_cast<size_t>(sessionSourceOf(sid))] = true;

    std::array<std::array<Session const*, windowCount>, sourceCount> best {};
    std::array<std::array<std::string const*, windowCount>, sourceCount> bestSid {};
    bool anyReading = false;
    for (auto const& [sid, s] : m_sessions) {
        if (!s.quota)
            continue;
        anyReading = true;
        auto source = static_cast<size_t>(sessionSourceOf(sid));
        if (anyFresh[source] && !isRecentRealEvent(s, t))
            continue;
        for (Window window : allWindows) {
            if (!(*s.quota)[window])
                continue;
            auto w = static_cast<size_t>(window);
            Session const* current = best[source][w];
            // Readings equal in both keys have no defined order; the session id makes it repeatable.
            bool better = !current || isMoreRelevant(s.lastRealEventTs, s.quota->at, current->lastRealEventTs, current->quota->at)
                || (!isMoreRelevant(current->lastRealEventTs, current->quota->at, s.lastRealEventTs, s.quota->at) && sid < *bestSid[source][w]);
            if (better) {
                best[source][w] = &s;
                bestSid[source][w] = &sid;
            }
        }
    }

    std::map<std::string, QuotaInfo> result;
    if (!anyReading)
        return result;
    for (SessionSource source : allSessionSources) {
        auto const& windows = best[static_cast<size_t>(source)];
        QuotaInfo info;
        if (auto const* s = windows[static_cast<size_t>(Window::fiveHour)]) {
            auto const& reading = *(*s->quota)[Window::fiveHour];
            info.fiveHourUsed = reading.used;
            if (reading.resetsAt)
                info.fiveHourResetsAt = Date::fromSeconds(*reading.resetsAt);
        }
        if (auto const* s = windows[static_cast<size_t>(Window::sevenDay)]) {
            auto const& reading = *(*s->quota)[Window::sevenDay];
            info.sevenDayUsed = reading.used;
            if (reading.resetsAt)
                info.sevenDayResetsAt = Date::fromSeconds(*reading.resetsAt);
        }
        if (info.hasAnyValue())
            result.emplace(std::string(rawValue(source)), info);
    }
    return result;
}

// MARK: State

PawletState PawletEngine::state(Date now)
{
    double t = now.secondsSince1970;
    // The present only moves forward, and never to a value that would blind the skew tests.
    if (std::isfinite(t) && (!m_lastNow || t > *m_lastNow))
        m_lastNow = t;
    if (m_lastEventTs && t + m_config.maxFutureSkew < *m_lastEventTs)
        m_lastEventTs = t;

    expireHunger(t);

    double lo = t - m_config.sessionForgetAfter;
    double hi = m_config.maxFutureSkew + (m_config.sessionForgetAfter + lo);
    forgetSessions(lo, hi);

    PawletState result;
    int waitingOutsidePending = 0;
    double activitySum = 0;
    int busy = 0;
    for (auto& [sid, s] : m_sessions) {
        if (s.waitingSince) {
            if (t - *s.waitingSince >= m_config.waitingTimeout)
                s.waitingSince.reset();
            else if (!m_pendingApprovalSids.contains(sid))
                ++waitingOutsidePending;
        }

        if (isRecentRealEvent(s, t))
            ++result.knownSessions;

        double age = t - s.lastActivityTs;
        bool isBusy = !s.terminal && age > -m_config.busyWindow
            && (age < m_config.busyWindow || (s.inflightTools >= 1 && age < m_config.inflightToolWindow));
        if (!isBusy)
            continue;
        ++busy;
        if (isRecentRealEvent(s, t))
            ++result.sourceCounts[std::string(rawValue(sessionSourceOf(sid)))];
        double sinceUpdate = t - s.activityAt;
        activitySum += sinceUpdate > 0 ? s.activity * std::exp(-sinceUpdate / m_config.tau) : s.activity;
    }

    if (busy == 0) {
        result.intensity = 0;
        result.gait = m_lastEventTs && t - *m_lastEventTs <= m_config.sleepAfter ? Gait::idle : Gait::sleep;
    } else {
        double intensity = 1 - std::exp(-activitySum / m_config.k());
        if (busy >= 2)
            intensity += std::min(m_config.concurrencyBonus * (busy - 1), m_config.concurrencyBonusCap);
        if (!(intensity >= 0))
            intensity = 0;
        intensity = std::min(intensity, 1.0);
        result.intensity = intensity;
        if (intensity < m_config.strollMax)
            result.gait = Gait::stroll;
        else if (intensity < m_config.walkMax)
            result.gait = Gait::walk;
        else
            result.gait = Gait::run;
    }

    result.busySessions = busy;
    result.waitingSessions = static_cast<int>(m_pendingApprovalSids.size()) + waitingOutsidePending;

    if (m_hungry) {
        result.mood = Mood::hungry;
    } else if (m_happyUntil && t < *m_happyUntil) {
        result.mood = Mood::happy;
    } else if (result.waitingSessions >= 1) {
        result.mood = Mood::poop;
        result.gait = Gait::idle;
    } else {
        result.mood = Mood::normal;
    }

    result.quota = m_quota;
    result.quotaBySource = quotaBySource(t);
    return result;
}

// MARK: Session targets

std::vector<SessionTarget> PawletEngine::sessionTargets(Date now) const
{
    double t = now.secondsSince1970;
    std::vector<SessionTarget> targets;
    std::set<std::string_view> listed;
    for (auto const& [sid, s] : m_sessions) {
        if (!s.waitingSince || !(t - *s.waitingSince < m_config.waitingTimeout))
            continue;
        listed.insert(sid);
        targets.push_back(makeTarget(sid, s.proc ? &*s.proc : nullptr, s.cwd, Date::fromSeconds(*s.waitingSince)));
    }
    for (auto const& sid : m_pendingApprovalSids) {
        if (listed.contains(sid))
            continue;
        auto it = m_sessions.find(sid);
        if (it == m_sessions.end()) {
            targets.push_back(makeTarget(sid, nullptr, std::nullopt, now));
            continue;
        }
        auto const& s = it->second;
        targets.push_back(makeTarget(sid, s.proc ? &*s.proc : nullptr, s.cwd, now));
    }
    std::sort(targets.begin(), targets.end(), [](SessionTarget const& a, SessionTarget const& b) {
        if (a.since != b.since)
            return a.since > b.since;
        return a.sid < b.sid;
    });
    return targets;
}

SessionTarget PawletEngine::makeTarget(std::string const& sid, ProcInfo const* proc, std::optional<std::string> const& cwd, Date since)
{
    SessionTarget target { .sid = sid, .source = sessionSourceOf(sid), .pids = {}, .names = {}, .tty = std::nullopt, .cwd = cwd, .since = since };
    switch (target.source) {
    case SessionSource::claude:
        if (proc) {
            target.pids = proc->pids;
            target.names = proc->names;
            target.tty = proc->tty;
        }
        break;
    case SessionSource::codex:
        break;
    case SessionSource::process: {
        // "proc:<program>:<pid>", where the program name may itself hold colons.
        std::string_view rest = std::string_view(sid).substr(std::string_view("proc:").size());
        size_t lastColon = rest.rfind(':');
        std::string_view name = lastColon == std::string_view::npos ? std::string_view() : rest.substr(0, lastColon);
        std::string_view number = lastColon == std::string_view::npos ? rest : rest.substr(lastColon + 1);
        int32_t pid = processIdFromText(number);
        if (pid >= 1) {
            target.pids = { pid };
            if (!name.empty())
                target.names = { std::string(name) };
        }
        break;
    }
    }
    return target;
}

}
