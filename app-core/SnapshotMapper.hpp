#pragma once

#include "PawletKit/Date.hpp"
#include "PawletKit/PawletState.hpp"
#include "app-core/Skin.hpp"
#include "shared/PetSnapshot.hpp"

namespace PupnikCore::SnapshotMapper {

// The engine's state as the snapshot published to companion displays, dated now floored to a whole
// second. Numbers that are not finite never reach the snapshot, so it always encodes. The skin rides
// along with the state for the publisher's sake and changes nothing in the snapshot.
PawletShared::PetSnapshot map(PawletKit::PawletState const& state, PawletKit::Date now, Skin skin = Skin::soft);

}
