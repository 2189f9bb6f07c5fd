#pragma once

#include "shared/Skin.hpp"

namespace PupnikCore {

// The application's settings and menu offer the skins the sprite directories hold, in their order.
using PawletShared::allSkins;
using PawletShared::localizationKey;
using PawletShared::rawValue;
using PawletShared::Skin;
using PawletShared::skinFromRawValue;

}
