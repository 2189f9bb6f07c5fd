#include "app-core/SettingsToggle.hpp"

namespace PupnikCore {

bool& settingsField(PetSettings& settings, SettingsToggle toggle)
{
    switch (toggle) {
    case SettingsToggle::codex:
        return settings.sourceCodex;
    case SettingsToggle::process:
        return settings.sourceProcess;
    case SettingsToggle::sync:
        return settings.syncToDevices;
    case SettingsToggle::pinned:
        return settings.pinned;
    case SettingsToggle::sounds:
        return settings.sounds;
    case SettingsToggle::discreet:
        break;
    }
    return settings.discreet;
}

}
