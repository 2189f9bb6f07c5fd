#include "app-core/SnapshotMapper.hpp"

#include <algorithm>
#include <cmath>

namespace PupnikCore::SnapshotMapper {

namespace {

std::optional<double> finite(std::optional<double> value)
{
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

// Instants are published in whole seconds, rounded toward the past.
std::optional<PawletKit::Date> floored(std::optional<PawletKit::Date> date)
{
    if (!date || !std::isfinite(date->secondsSince1970))
        return std::nullopt;
    return PawletKit::Date::fromSeconds(std::floor(date->secondsSince1970));
}

}

PawletShared::PetSnapshot map(PawletKit::PawletState const& state, PawletKit::Date now, Skin)
{
    PawletShared::PetSnapshot snapshot;
    snapshot.gait = PawletShared::gaitFromRawValue(PawletKit::rawValue(state.gait)).value_or(PawletShared::Gait::idle);
    snapshot.mood = PawletShared::moodFromRawValue(PawletKit::rawValue(state.mood)).value_or(PawletShared::Mood::normal);
    snapshot.intensity = std::isfinite(state.intensity) ? std::clamp(state.intensity, 0.0, 1.0) : 0.0;

    snapshot.quota.fiveHour = finite(state.quota.fiveHourUsed);
    snapshot.quota.sevenDay = finite(state.quota.sevenDayUsed);
    snapshot.quota.resets.fiveHour = floored(state.quota.fiveHourResetsAt);
    snapshot.quota.resets.sevenDay = floored(state.quota.sevenDayResetsAt);

    for (auto const& [source, count] : state.sourceCounts)
        if (count >= 1)
            snapshot.sourceCounts.emplace(source, count);
    if (snapshot.sourceCounts.empty() && state.busySessions >= 1)
        snapshot.sourceCounts.emplace("claude", state.busySessions);

    snapshot.updatedAt = floored(now).value_or(PawletKit::Date {});

    if (auto sources = state.orderedSources(); !sources.empty())
        snapshot.activeSources = std::move(sources);

    std::map<std::string, PawletShared::QuotaWindow> windows;
    for (auto const& [source, quota] : state.quotaBySource) {
        PawletShared::QuotaWindow window { finite(quota.fiveHourUsed), finite(quota.sevenDayUsed), floored(quota.fiveHourResetsAt) };
        if (!window.isEmpty())
            windows.emplace(source, window);
    }
    if (!windows.empty())
        snapshot.quotaBySource = std::move(windows);
    return snapshot;
}

}
