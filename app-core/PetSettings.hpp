#pragma once

#include "app-core/Skin.hpp"
#include "platform/DefaultsStore.hpp"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace PupnikCore {

// The user's preferences for the pet, one "pet." defaults key per field. Loading is lenient: a
// value that cannot be used leaves the field at its default.
struct PetSettings {
    // The defaults keys, one per field.
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

    // The menu's small, medium and large sizes, in points; no other height is ever loaded.
    static constexpr std::array<double, 3> heightPresets { 72, 96, 128 };
    static bool isHeightPreset(double height);

    // The pet window's saved left and bottom edges in screen points; absent lets the pet place itself.
    std::optional<double> x;
    std::optional<double> groundY;
    bool pinned { false };
    double height { 96 };
    Skin skin { Skin::soft };
    bool alwaysOnTop { true };
    bool visible { true };
    bool sourceCodex { true };
    bool sourceProcess { true };
    // Hides the attention signals: no badge, no tooltip for a waiting session or an approval.
    bool discreet { true };
    bool syncToDevices { true };
    bool sounds { false };
    // A forced interface language code as the user stored it; absent follows the system.
    std::optional<std::string> language;

    static PetSettings load(Platform::DefaultsStore const& store);
    // Sets or removes every key.
    void save(Platform::DefaultsStore& store) const;

    // Plain floating-point comparison: a NaN position never equals anything.
    bool operator==(PetSettings const&) const = default;
};

}
