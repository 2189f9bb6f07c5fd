#pragma once

#include "shared/PetSnapshot.hpp"

namespace SampleSnapshots {

// A distinct snapshot for every number, the same in every process.
inline PawletShared::PetSnapshot numbered(int64_t n)
{
    PawletShared::PetSnapshot snapshot;
    snapshot.gait = PawletShared::allGaits[size_t(n % 5)];
    snapshot.mood = PawletShared::allMoods[size_t(n % 4)];
    snapshot.intensity = double(n % 10) / 10;
    snapshot.quota.fiveHour = double(n % 100);
    snapshot.quota.resets.fiveHour = PawletKit::Date::fromSeconds(1'750'010'000);
    snapshot.sourceCounts = { { "claude", n }, { "ide/plugin", 1 } };
    snapshot.updatedAt = PawletKit::Date::fromSeconds(1'750'000'000 + double(n));
    snapshot.activeSources = std::vector<std::string> { "claude", "ide/plugin" };
    snapshot.quotaBySource = std::map<std::string, PawletShared::QuotaWindow> { { "claude", { double(n % 100), 12.5, std::nullopt } } };
    return snapshot;
}

}
