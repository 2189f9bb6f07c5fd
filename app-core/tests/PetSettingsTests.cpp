#include "app-core/PetSettings.hpp"
#include "platform/MemoryDefaultsStore.hpp"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

using PupnikCore::PetSettings;
using PupnikCore::Skin;

TEST(PetSettings, AnEmptyStoreLoadsTheDefaults)
{
    Platform::MemoryDefaultsStore store;
    PetSettings settings = PetSettings::load(store);
    EXPECT_EQ(settings, PetSettings {});
    EXPECT_EQ(settings.height, 96);
    EXPECT_EQ(settings.skin, Skin::soft);
    EXPECT_FALSE(settings.x || settings.groundY || settings.language);
    EXPECT_FALSE(settings.pinned || settings.sounds);
    EXPECT_TRUE(settings.alwaysOnTop && settings.visible && settings.sourceCodex && settings.sourceProcess && settings.discreet
        && settings.syncToDevices);
}

TEST(PetSettings, StoredValuesOfTheWrongKindReadAsTheDefault)
{
    struct Case {
        char const* key;
        nlohmann::json stored;
        std::function<bool(PetSettings const&)> holds;
    };
    double const nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<Case> const cases {
        { "pet.height", 100, [](auto const& s) { return s.height == 96; } },
        { "pet.height", 128, [](auto const& s) { return s.height == 128; } },
        { "pet.height", "128", [](auto const& s) { return s.height == 96; } },
        { "pet.x", nan, [](auto const& s) { return !s.x; } },
        { "pet.x", "10", [](auto const& s) { return !s.x; } },
        { "pet.x", 10.5, [](auto const& s) { return s.x == 10.5; } },
        { "pet.groundY", -3, [](auto const& s) { return s.groundY == -3; } },
        { "pet.skin", "Pixel", [](auto const& s) { return s.skin == Skin::soft; } },
        { "pet.skin", "pixel", [](auto const& s) { return s.skin == Skin::pixel; } },
        { "pet.language", "pt_br", [](auto const& s) { return s.language == "pt_br"; } },
        { "pet.language", "xx", [](auto const& s) { return !s.language; } },
        { "pet.sounds", "YES", [](auto const& s) { return s.sounds; } },
        { "pet.visible", 0, [](auto const& s) { return !s.visible; } },
        { "pet.discreet", nlohmann::json::array(), [](auto const& s) { return !s.discreet; } },
    };
    for (auto const& c : cases) {
        Platform::MemoryDefaultsStore store;
        store.set(c.key, c.stored);
        EXPECT_TRUE(c.holds(PetSettings::load(store))) << c.key << " = " << c.stored.dump();
    }
}

TEST(PetSettings, SaveRemovesWhatIsAbsentOrNotFiniteAndLoadGivesTheRecordBack)
{
    Platform::MemoryDefaultsStore store;
    PetSettings settings;
    settings.x = 12.5;
    settings.groundY = 40;
    settings.language = "de";
    settings.height = 72;
    settings.skin = Skin::geo;
    settings.sounds = true;
    settings.save(store);
    EXPECT_EQ(PetSettings::load(store), settings);

    settings.x = std::numeric_limits<double>::infinity();
    settings.language.reset();
    settings.save(store);
    EXPECT_FALSE(store.contains("pet.x"));
    EXPECT_FALSE(store.contains("pet.language"));
    EXPECT_EQ(store.number("pet.groundY"), 40);
}
