#pragma once

#include "PawletKit/PawletState.hpp"
#include "Pupnik/EngineDriver.hpp"
#include "Pupnik/LaunchOptions.hpp"
#include "app-core/ClaudeConnector.hpp"
#include "app-core/Clip.hpp"
#include "app-core/PetSettings.hpp"
#include "app-core/SyncStatus.hpp"
#include "platform/DefaultsStore.hpp"

#include <functional>
#include <optional>
#include <string>

namespace Pupnik {

// What the menu model is made from: the application delegate's objects as they stand, any of
// which may still be missing while the application launches or in demo mode.
struct MenuModelInputs {
    PawletKit::PawletState lastState;
    std::optional<PupnikCore::Clip> demoClip;
    // The pet controller's live settings, once it exists; else they are read from the defaults.
    PupnikCore::PetSettings const* petSettings { nullptr };
    Platform::DefaultsStore const* defaults { nullptr };
    PupnikCore::ClaudeConnector const* connector { nullptr };
    EngineDriver const* driver { nullptr };
    LaunchOptions const* options { nullptr };
    // The name of the application running a waiting session; asked only for a waiting pet.
    std::function<std::optional<std::string>()> waitingAppName;
    // Absent without a publisher.
    std::function<std::optional<PupnikCore::SyncStatus>()> syncStatus;
};

}
