#include "PawletKit/ProcessActivitySource.hpp"

#include "PawletKit/HookEvent.hpp"

#include <set>

namespace PawletKit {

std::vector<std::string> const& ProcessActivitySource::defaultAgentNames()
{
    static std::vector<std::string> const names { "cursor-agent", "gemini", "copilot", "aider", "opencode", "amp", "goose",
        "kiro", "codex", "claude" };
    return names;
}

ProcessActivitySource::ProcessActivitySource(std::shared_ptr<ProcessSampler> sampler, std::vector<std::string> const& agentNames, Clock clock)
    : agentNames(agentNames.begin(), agentNames.end())
    , m_sampler(std::move(sampler))
    , m_clock(std::move(clock))
{
}

std::string ProcessActivitySource::sessionID(std::string_view name, int32_t pid)
{
    return "proc:" + std::string(name) + ":" + std::to_string(pid);
}

size_t ProcessActivitySource::busyCount() const
{
    size_t count = 0;
    for (auto const& [pid, entry] : m_tracked)
        count += entry.busy ? 1 : 0;
    return count;
}

SpoolEvent ProcessActivitySource::event(std::string const& name, std::string_view processName, int32_t pid, double ts) const
{
    std::string sid = sessionID(processName, pid);
    JSON::Value data { { "session_id", sid }, { "hook_event_name", name }, { "source", sourceName } };
    return SpoolEvent(1, ts, name, std::nullopt, std::move(sid), std::move(data));
}

std::vector<SpoolEvent> ProcessActivitySource::poll(std::optional<Date> now)
{
    double const t = (now ? *now : m_clock()).secondsSince1970;
    if (m_lastSampleAt && *m_lastSampleAt <= t && t - *m_lastSampleAt < sampleInterval)
        return {};
    return sample(Date::fromSeconds(t));
}

std::vector<SpoolEvent> ProcessActivitySource::sample(std::optional<Date> now)
{
    double const t = (now ? *now : m_clock()).secondsSince1970;
    m_lastSampleAt = t;

    ProcessNames candidates;
    for (auto const& name : agentNames)
        if (!excludedNames.contains(name))
            candidates.insert(name);
    std::vector<ProcessSample> samples;
    if (!candidates.empty())
        samples = m_sampler->sample(candidates);

    std::vector<SpoolEvent> events;
    std::set<int32_t> seen;
    for (auto const& sample : samples) {
        if (!candidates.contains(sample.name))
            continue;
        seen.insert(sample.pid);
        Entry entry = m_tracked.contains(sample.pid) ? m_tracked[sample.pid] : Entry {};
        if (sample.cpuPercent >= busyThreshold) {
            events.push_back(event(HookEvent::postToolUse, sample.name, sample.pid, t));
            entry.busy = true;
            entry.lowSamples = 0;
        } else if (entry.busy && sample.cpuPercent < idleThreshold) {
            if (entry.lowSamples + 1 >= idleSamplesToStop) {
                events.push_back(event(HookEvent::stop, sample.name, sample.pid, t));
                entry.busy = false;
                entry.lowSamples = 0;
            } else {
                entry.lowSamples += 1;
            }
        } else if (entry.busy) {
            entry.lowSamples = 0;
        }
        entry.name = sample.name;
        m_tracked[sample.pid] = std::move(entry);
    }

    for (auto it = m_tracked.begin(); it != m_tracked.end();) {
        if (seen.contains(it->first)) {
            ++it;
            continue;
        }
        if (it->second.busy)
            events.push_back(event(HookEvent::stop, it->second.name, it->first, t));
        it = m_tracked.erase(it);
    }

    m_eventsEmitted += static_cast<int64_t>(events.size());
    return events;
}

}
