#pragma once

#include "PawletKit/Date.hpp"
#include "PawletKit/ProcessSampler.hpp"
#include "PawletKit/SpoolEvent.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PawletKit {

// Follows agents that report nothing themselves through the CPU use of their processes: a busy
// process reads like a session running tools, one that calms down or exits like a session that stopped.
class ProcessActivitySource final {
public:
    using Clock = std::function<Date()>;

    static constexpr std::string_view sourceName = "process";
    static std::vector<std::string> const& defaultAgentNames();

    ProcessActivitySource(std::shared_ptr<ProcessSampler> sampler, std::vector<std::string> const& agentNames, Clock clock = Date::now);

    ProcessNames agentNames;
    ProcessNames excludedNames;
    double busyThreshold { 15 };
    double idleThreshold { 3 };
    int idleSamplesToStop { 2 };
    double sampleInterval { 2 };

    ProcessSampler& sampler() const { return *m_sampler; }
    int64_t eventsEmitted() const { return m_eventsEmitted; }

    // Samples unless the last sampling is less than sampleInterval ago.
    std::vector<SpoolEvent> poll(std::optional<Date> now = std::nullopt);
    std::vector<SpoolEvent> sample(std::optional<Date> now = std::nullopt);

    static std::string sessionID(std::string_view name, int32_t pid);
    size_t busyCount() const;
    size_t trackedCount() const { return m_tracked.size(); }
    bool isAvailable() const { return m_sampler->isAvailable(); }

private:
    struct Entry {
        std::string name;
        bool busy { false };
        int lowSamples { 0 };
    };

    SpoolEvent event(std::string const& name, std::string_view processName, int32_t pid, double ts) const;

    std::shared_ptr<ProcessSampler> m_sampler;
    Clock m_clock;
    std::optional<double> m_lastSampleAt;
    std::map<int32_t, Entry> m_tracked;
    int64_t m_eventsEmitted { 0 };
};

}
