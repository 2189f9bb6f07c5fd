#pragma once

#include "PawletKit/Date.hpp"
#include "PawletKit/PawletState.hpp"
#include "shared/PetSnapshot.hpp"

namespace PupnikCore::SnapshotMapper {

// The engine's state as the snapshot published to companion displays, dated now floored to a whole
// second. Numbers that are not finite never reach the snapshot, so it always encodes.
PawletShared::PetSnapshot map(PawletKit::PawletState const& state, PawletKit::Date now);

}
