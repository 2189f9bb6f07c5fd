#pragma once

#include "platform/DefaultsStore.hpp"
#include "shared/Language.hpp"
#include "shared/PetSnapshot.hpp"
#include "shared/Skin.hpp"

#include <memory>
#include <optional>
#include <string_view>

namespace PawletShared {

// The settings and the last snapshot that every display program of the application group shares,
// read and written straight through the group's defaults suite. Nothing here fails.
class SharedStore final {
public:
    static constexpr std::string_view groupIdentifier = "group.com.ardlow.tailbase";

    struct Key {
        static constexpr std::string_view snapshot = "snapshot.json";
        static constexpr std::string_view showDetails = "settings.showDetails";
        static constexpr std::string_view skin = "settings.skin";
        static constexpr std::string_view haptics = "settings.haptics";
        static constexpr std::string_view liveActivity = "settings.liveActivity";
        static constexpr std::string_view language = "settings.language";
        static constexpr std::string_view demoMode = "settings.demoMode";
        static constexpr std::string_view discreetResetMigration = "migration.v4.discreetReset";
    };

    SharedStore() = delete;

    // The group's suite, opened on first use (a store in memory when it cannot be opened).
    static std::shared_ptr<Platform::DefaultsStore> defaults();
    // Every later access uses this store.
    static void setDefaults(std::shared_ptr<Platform::DefaultsStore> store);

    static bool showDetails();
    static void setShowDetails(bool value);
    static bool demoMode();
    static void setDemoMode(bool value);
    // True until something is stored.
    static bool haptics();
    static void setHaptics(bool value);
    static bool liveActivity();
    static void setLiveActivity(bool value);
    // soft unless a skin's exact raw value is stored.
    static Skin skin();
    static void setSkin(Skin skin);
    // Read leniently; writing nothing removes the key.
    static std::optional<Language> language();
    static void setLanguage(std::optional<Language> language);

    // The snapshot's JSON under "snapshot.json"; a snapshot that cannot be encoded is not stored.
    static void save(PetSnapshot const& snapshot);
    // Nothing when no snapshot is stored or the stored one does not decode.
    static std::optional<PetSnapshot> load();

    // Turns the details off once for every user; true when it did so now.
    static bool migrateDiscreetReset();
};

}
