#pragma once

#include "PawletKit/Mood.hpp"
#include "app-core/PetSound.hpp"

#include <optional>

namespace PupnikCore::SoundCue {

// The sound a change of mood plays, if any. The snore is never cued by a mood change.
std::optional<PetSound> sound(PawletKit::Mood previous, PawletKit::Mood mood, bool soundsOn);

}
