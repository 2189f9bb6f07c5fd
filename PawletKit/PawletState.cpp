#include "PawletKit/PawletState.hpp"

#include "PawletKit/SessionSource.hpp"

#include <algorithm>

namespace PawletKit {

bool PawletState::hasNonClaudeSessions() const
{
    return std::any_of(sourceCounts.begin(), sourceCounts.end(), [](auto const& entry) {
        return entry.first != rawValue(SessionSource::claude) && entry.second >= 1;
    });
}

int PawletState::totalSessions() const
{
    int total = 0;
    for (auto const& [source, count] : sourceCounts)
        total += count;
    return total;
}

std::vector<std::string> PawletState::orderedSources() const
{
    std::vector<std::string> ordered;
    for (SessionSource source : allSessionSources) {
        auto it = sourceCounts.find(std::string(rawValue(source)));
        if (it != sourceCounts.end() && it->second >= 1)
            ordered.push_back(it->first);
    }
    // The map iterates in ascending key order already.
    for (auto const& [name, count] : sourceCounts) {
        if (count < 1 || sessionSourceFromRawValue(name))
            continue;
        ordered.push_back(name);
    }
    return ordered;
}

}
