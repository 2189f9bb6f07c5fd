#include "Pupnik/SettingsActions.hpp"
#include "platform/MemoryDefaultsStore.hpp"

#include <gtest/gtest.h>

using namespace Pupnik;
using PupnikCore::PetSettings;
using PupnikCore::SettingsToggle;

namespace {

// Live settings owned by a stand-in pet whose persisting step saves them to a defaults store, and
// followers that note what they were told.
struct Pet {
    PetSettings settings;
    Platform::MemoryDefaultsStore defaults;
    std::vector<std::string> events;

    SettingsActions::Hooks hooks()
    {
        SettingsActions::Hooks hooks;
        hooks.liveSettings = [this] { return &settings; };
        hooks.persist = [this] {
            settings.x = 10;
            settings.save(defaults);
            events.push_back("persist");
        };
        hooks.defaults = [this] { return &defaults; };
        hooks.setCodexEnabled = [this](bool on) { events.push_back(std::string("codex ") + (on ? "on" : "off")); };
        hooks.setProcessEnabled = [this](bool on) { events.push_back(std::string("process ") + (on ? "on" : "off")); };
        hooks.setSyncEnabled = [this](bool on) { events.push_back(std::string("sync ") + (on ? "on" : "off")); };
        hooks.stopSounds = [this] { events.push_back("stop sounds"); };
        hooks.reapplyState = [this] { events.push_back("reapply"); };
        return hooks;
    }
};

}

TEST(SettingsActions, EachSwitchFlipsSavesThenTellsItsFollower)
{
    struct Case {
        SettingsToggle toggle;
        std::string_view key;
        std::vector<std::string> firstFlip;
        std::vector<std::string> secondFlip;
    };
    // Defaults: codex, process and sync on; pinned, sounds off; discreet on.
    Case const cases[] = {
        { SettingsToggle::codex, PetSettings::Key::sourceCodex, { "persist", "codex off" }, { "persist", "codex on" } },
        { SettingsToggle::process, PetSettings::Key::sourceProcess, { "persist", "process off" }, { "persist", "process on" } },
        { SettingsToggle::sync, PetSettings::Key::syncToDevices, { "persist", "sync off" }, { "persist", "sync on" } },
        { SettingsToggle::pinned, PetSettings::Key::pinned, { "persist" }, { "persist" } },
        { SettingsToggle::sounds, PetSettings::Key::sounds, { "persist" }, { "persist", "stop sounds" } },
        { SettingsToggle::discreet, PetSettings::Key::discreet, { "persist", "reapply" }, { "persist", "reapply" } },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.key);
        Pet pet;
        SettingsActions actions(pet.hooks());
        bool const before = PupnikCore::settingsField(pet.settings, c.toggle);
        EXPECT_EQ(actions.toggle(c.toggle), !before);
        EXPECT_EQ(pet.defaults.boolean(c.key), !before);
        EXPECT_EQ(pet.defaults.object(PetSettings::Key::x), nlohmann::json(10.0));
        EXPECT_EQ(pet.events, c.firstFlip);
        pet.events.clear();
        EXPECT_EQ(actions.toggle(c.toggle), before);
        EXPECT_EQ(pet.defaults.boolean(c.key), before);
        EXPECT_EQ(pet.events, c.secondFlip);
        EXPECT_EQ(PetSettings::load(pet.defaults), pet.settings);
    }
}

TEST(SettingsActions, WithoutLiveSettingsOrFollowersNothingBreaks)
{
    SettingsActions nothing({});
    EXPECT_EQ(nothing.toggle(SettingsToggle::sounds), std::nullopt);

    PetSettings settings;
    SettingsActions::Hooks hooks;
    hooks.liveSettings = [&] { return &settings; };
    SettingsActions bare(hooks);
    EXPECT_EQ(bare.toggle(SettingsToggle::codex), false);
    EXPECT_EQ(bare.toggle(SettingsToggle::discreet), false);
    EXPECT_EQ(bare.toggle(SettingsToggle::sounds), true);
    EXPECT_EQ(bare.toggle(SettingsToggle::sounds), false);
}

TEST(SettingsActions, TheSoundLineShowsWhatWasSaved)
{
    Platform::MemoryDefaultsStore defaults;
    EXPECT_EQ(SettingsActions::soundLogLine(true, &defaults), "sound: 声音 now on (pet.sounds=false)");
    defaults.set(PetSettings::Key::sounds, true);
    EXPECT_EQ(SettingsActions::soundLogLine(true, &defaults), "sound: 声音 now on (pet.sounds=true)");
    defaults.set(PetSettings::Key::sounds, "NO");
    EXPECT_EQ(SettingsActions::soundLogLine(false, &defaults), "sound: 声音 now off (pet.sounds=false)");
    EXPECT_EQ(SettingsActions::soundLogLine(false, nullptr), "sound: 声音 now off (pet.sounds=false)");
}

TEST(SettingsActions, ThePreviewPlaysTheFirstSoundEvenWithSoundsOff)
{
    Pet pet;
    auto hooks = pet.hooks();
    std::vector<std::string> played;
    hooks.playSound = [&](PupnikCore::PetSound sound, bool enabled) {
        played.push_back(std::string(sound.rawValue()) + (enabled ? " enabled" : " disabled"));
        return std::string("played(woof)");
    };
    SettingsActions actions(hooks);
    ASSERT_FALSE(pet.settings.sounds);
    EXPECT_EQ(actions.previewSound(), "played(woof)");
    EXPECT_EQ(played, std::vector<std::string> { "woof enabled" });
    EXPECT_TRUE(pet.events.empty());
    EXPECT_EQ(SettingsActions({}).previewSound(), "skipped(no-player)");
}
