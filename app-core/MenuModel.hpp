#pragma once

#include "PawletKit/PawletState.hpp"
#include "app-core/Clip.hpp"
#include "app-core/ConnectionState.hpp"
#include "app-core/PetSettings.hpp"
#include "app-core/SyncStatus.hpp"

#include <optional>
#include <string>

namespace PupnikCore {

// Everything the tray menu shows at one opening; built just before the menu opens and dropped after.
struct MenuModel {
    // The live engine state, or the made-up one of the demo clip that plays.
    PawletKit::PawletState state;
    ConnectionState connection { ConnectionState::notConnected };
    std::optional<Clip> demoClip;
    PetSettings settings;
    // The agent hooks are in the coding agent's settings file.
    bool installed { false };
    // Installed hook entries that differ from the current hook set.
    bool needsHookUpgrade { false };
    bool codexAvailable { false };
    // The application running the waiting session, for the status line.
    std::optional<std::string> waitingAppName;
    // Absent when nothing publishes.
    std::optional<SyncStatus> syncStatus;

    bool operator==(MenuModel const&) const = default;
};

}
