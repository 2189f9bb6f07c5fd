#pragma once

#include "PawletKit/Gait.hpp"
#include "PawletKit/Mood.hpp"
#include "PawletKit/QuotaInfo.hpp"

#include <map>
#include <string>
#include <vector>

namespace PawletKit {

// What the engine makes of the agents at one moment; built anew by every PawletEngine::state call.
struct PawletState {
    Gait gait { Gait::sleep };
    Mood mood { Mood::normal };
    double intensity { 0 };
    int busySessions { 0 };
    // Sessions with a recent real hook event, busy or not.
    int knownSessions { 0 };
    QuotaInfo quota;
    // Distinct sessions that wait for the user or have an open approval request.
    int waitingSessions { 0 };
    // Source name to its busy sessions with a recent hook event; never holds a zero.
    std::map<std::string, int> sourceCounts;
    std::map<std::string, QuotaInfo> quotaBySource;

    bool hasNonClaudeSessions() const;
    int totalSessions() const;
    // The sources with at least one session: the known ones in their fixed order, then the rest by name.
    std::vector<std::string> orderedSources() const;

    bool operator==(PawletState const&) const = default;
};

}
