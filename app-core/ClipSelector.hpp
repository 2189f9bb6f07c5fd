#pragma once

#include "PawletKit/PawletState.hpp"
#include "app-core/Clip.hpp"
#include "app-core/ClipChoice.hpp"

namespace PupnikCore::ClipSelector {

// The clip for an engine state: the mood decides first, a normal mood lets the gait pick, and a
// sleeping pet plays idle at half speed. Never sick: that clip is only played when chosen directly.
ClipChoice choice(PawletKit::PawletState const& state);

// The made-up engine state that demo mode shows, publishes and describes for a clip.
PawletKit::PawletState demoState(Clip clip);

}
