#pragma once

#include "shared/ClipChoice.hpp"
#include "shared/Gait.hpp"
#include "shared/Mood.hpp"
#include "shared/PetSnapshot.hpp"

namespace PawletShared::ClipSelector {

// The mood decides first; only a normal mood lets the gait pick the clip, and a sleeping pet plays
// the idle clip at half speed.
ClipChoice choice(Gait gait, Mood mood);
ClipChoice choice(PetSnapshot const& snapshot);

}
