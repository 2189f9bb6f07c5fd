#pragma once

#include "app-core/Skin.hpp"
#include "platform/DefaultsStore.hpp"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace PupnikCore {

// The user's pet preferences, one "pet." key each in the application's defaults suite.
struct PetSettings {
    struct Key {
        static constexpr std::string_view x = "pet.x";
        static constexpr std::string_view groundY = "pet.groundY";
        static constexpr std::string_view pinned = "pet.pinned";
        static constexpr std::string_view height = "pet.height";
        static constexpr std::string_view skin = "pet.skin";
        static constexpr std::string_view alwaysOnTop = "pet.alwaysOnTop";
        static constexpr std::string_view visible = "pet.visible";
        static constexpr std::string_view sourceCodex = "pet.sourceCodex";
        static constexpr std::string_view sourceProcess = "pet.sourceProcess";
        static constexpr std::string_view discreet = "pet.discreet";
        static constexpr std::string_view syncToDevices = "pet.syncToDevices";
        static constexpr std::string_view sounds = "pet.sounds";
        static constexpr std::string_view language = "pet.language";
    };

    // The pet window's saved left and bottom edges; absent lets the pet controller place it.
    std::optional<double> x;
    std::optional<double> groundY;
    bool pinned { false };
    double height { 96 };
    Skin skin { Skin::soft };
    bool alwaysOnTop { true };
    bool visible { true };
    bool sourceCodex { true };
    bool sourceProcess { true };
    bool discreet { true };
    bool syncToDevices { true };
    bool sounds { false };
    // The stored code as the user's store holds it (not normalised); absent follows the system.
    std::optional<std::string> language;

    static constexpr std::array<double, 3> heightPresets { 72, 96, 128 };
    static bool isHeightPreset(double height);

    // A value of the wrong kind reads as the field's default; never fails.
    static PetSettings load(Platform::DefaultsStore const& store);
    // Sets or removes every key.
    void save(Platform::DefaultsStore& store) const;

    bool operator==(PetSettings const&) const = default;
};

}
