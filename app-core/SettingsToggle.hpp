#pragma once

#include "app-core/PetSettings.hpp"

namespace PupnikCore {

// The on/off settings the menu flips directly.
enum class SettingsToggle {
    codex,
    process,
    sync,
    pinned,
    sounds,
    discreet,
};

// The field of the settings that a toggle flips.
bool& settingsField(PetSettings& settings, SettingsToggle toggle);

}
