#pragma once

#include "app-core/PetSettings.hpp"
#include "app-core/PetSound.hpp"
#include "app-core/SettingsToggle.hpp"
#include "platform/DefaultsStore.hpp"

#include <functional>
#include <optional>
#include <string>

namespace Pupnik {

// The menu's settings switches and the sound preview. Each switch flips the pet's live settings,
// saves them at once through the pet's own persisting step, then tells whoever follows that
// setting. Every hook may be absent: that part is then skipped. Main thread only.
class SettingsActions final {
public:
    struct Hooks {
        // The pet controller's live settings; null before it exists.
        std::function<PupnikCore::PetSettings*()> liveSettings;
        // The pet's persisting step: its position into the settings, the settings saved, the time noted.
        std::function<void()> persist;
        // The store read back after a sound switch, so the log shows what was saved.
        std::function<Platform::DefaultsStore const*()> defaults;
        // Present while an engine driver runs.
        std::function<void(bool)> setCodexEnabled;
        std::function<void(bool)> setProcessEnabled;
        // Present while a publisher exists.
        std::function<void(bool)> setSyncEnabled;
        std::function<void()> stopSounds;
        // Shows the current state again (the demo's while one plays), so the badge follows discreet mode.
        std::function<void()> reapplyState;
        // Plays a sound and answers the player's outcome text; absent until there is a player.
        std::function<std::string(PupnikCore::PetSound sound, bool enabled)> playSound;
    };

    explicit SettingsActions(Hooks hooks);

    // The new value; nothing when there are no live settings to flip.
    std::optional<bool> toggle(PupnikCore::SettingsToggle toggle);
    // Plays the first sound even while sounds are off; answers and logs the outcome.
    std::string previewSound();

    // "sound: 声音 now on (pet.sounds=true)"; a value the defaults lack reads false.
    static std::string soundLogLine(bool on, Platform::DefaultsStore const* defaults);

private:
    Hooks m_hooks;
};

}
