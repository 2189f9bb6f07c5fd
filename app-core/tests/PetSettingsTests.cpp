#include "PawletKit/tests/TestSupport.hpp"
#include "app-core/PetSettings.hpp"
#include "platform/FileDefaultsStore.hpp"
#include "platform/MemoryDefaultsStore.hpp"

#include <functional>
#include <gtest/gtest.h>
#include <limits>

using namespace PupnikCore;
using nlohmann::json;
using Key = PetSettings::Key;

namespace {

double const notANumber = std::numeric_limits<double>::quiet_NaN();
double const infinity = std::numeric_limits<double>::infinity();
std::string_view const suite = "com.ardlow.pupnik";

PetSettings changed(std::function<void(PetSettings&)> const& change)
{
    PetSettings settings;
    change(settings);
    return settings;
}

// The defaults file as the application finds it: under the user's config folder.
std::filesystem::path configFolder(TestSupport::TemporaryDirectory const& home)
{
    return Platform::FileDefaultsStore::defaultFolder({ { "XDG_CONFIG_HOME", (home.path() / "config").string() } });
}

}

TEST(PetSettings, NothingStoredGivesTheDefaults)
{
    auto settings = PetSettings::load(Platform::MemoryDefaultsStore());
    EXPECT_EQ(settings.x, std::nullopt);
    EXPECT_EQ(settings.groundY, std::nullopt);
    EXPECT_FALSE(settings.pinned);
    EXPECT_EQ(settings.height, 96);
    EXPECT_EQ(settings.skin, Skin::soft);
    EXPECT_TRUE(settings.alwaysOnTop);
    EXPECT_TRUE(settings.visible);
    EXPECT_TRUE(settings.sourceCodex);
    EXPECT_TRUE(settings.sourceProcess);
    EXPECT_TRUE(settings.discreet);
    EXPECT_TRUE(settings.syncToDevices);
    EXPECT_FALSE(settings.sounds);
    EXPECT_EQ(settings.language, std::nullopt);
    EXPECT_EQ(settings, PetSettings());
}

TEST(PetSettings, LoadTakesOnlyUsableValues)
{
    struct Case {
        char const* name;
        std::string_view key;
        json stored;
        PetSettings expected;
    } const cases[] = {
        { "position", Key::x, 10.5, changed([](auto& s) { s.x = 10.5; }) },
        { "whole-number position", Key::groundY, 40, changed([](auto& s) { s.groundY = 40; }) },
        { "negative position", Key::x, -1200.25, changed([](auto& s) { s.x = -1200.25; }) },
        { "position NaN", Key::x, notANumber, PetSettings() },
        { "position infinite", Key::groundY, -infinity, PetSettings() },
        { "position as text", Key::x, "10", PetSettings() },
        { "position as Boolean", Key::x, true, PetSettings() },
        { "height preset", Key::height, 128, changed([](auto& s) { s.height = 128; }) },
        { "smallest preset as a real", Key::height, 72.0, changed([](auto& s) { s.height = 72; }) },
        { "height between presets", Key::height, 100, PetSettings() },
        { "height near a preset", Key::height, 127.999, PetSettings() },
        { "height as text", Key::height, "128", PetSettings() },
        { "skin", Key::skin, "ink", changed([](auto& s) { s.skin = Skin::ink; }) },
        { "skin in capitals", Key::skin, "Pixel", PetSettings() },
        { "skin as a number", Key::skin, 2, PetSettings() },
        { "language with underscore kept as stored", Key::language, "pt_br", changed([](auto& s) { s.language = "pt_br"; }) },
        { "language with blanks kept as stored", Key::language, " zh-hant ", changed([](auto& s) { s.language = " zh-hant "; }) },
        { "unknown language", Key::language, "xx", PetSettings() },
        { "system identifier is not a code", Key::language, "en-US", PetSettings() },
        { "language as a number", Key::language, 5, PetSettings() },
        { "sounds as YES", Key::sounds, "YES", changed([](auto& s) { s.sounds = true; }) },
        { "pinned as 1", Key::pinned, 1, changed([](auto& s) { s.pinned = true; }) },
        { "discreet as 0", Key::discreet, 0, changed([](auto& s) { s.discreet = false; }) },
        { "visible as NO", Key::visible, "NO", changed([](auto& s) { s.visible = false; }) },
        { "always on top as any text", Key::alwaysOnTop, "maybe", changed([](auto& s) { s.alwaysOnTop = false; }) },
        { "codex off", Key::sourceCodex, false, changed([](auto& s) { s.sourceCodex = false; }) },
        { "process as 0.0", Key::sourceProcess, 0.0, changed([](auto& s) { s.sourceProcess = false; }) },
        { "sync as a list keeps the default", Key::syncToDevices, json::array({ false }), PetSettings() },
        { "sounds as an object keeps the default", Key::sounds, json::object({ { "on", true } }), PetSettings() },
    };
    for (auto const& c : cases) {
        Platform::MemoryDefaultsStore store;
        store.set(c.key, c.stored);
        auto loaded = PetSettings::load(store);
        EXPECT_EQ(loaded, c.expected) << c.name;
    }
}

TEST(PetSettings, SaveWritesEveryKeyAndRemovesWhatCannotBeStored)
{
    Platform::MemoryDefaultsStore store(json {
        { "pet.x", 1.0 }, { "pet.groundY", 2.0 }, { "pet.language", "de" }, { "pet.height", 72.0 }, { "other.key", "kept" } });
    auto settings = changed([](auto& s) {
        s.x = infinity;
        s.groundY = notANumber;
        s.pinned = true;
        s.height = 100; // not a preset, written all the same
        s.skin = Skin::geo;
        s.sounds = true;
    });
    settings.save(store);
    json const expected {
        { "other.key", "kept" },
        { "pet.pinned", true },
        { "pet.height", 100.0 },
        { "pet.skin", "geo" },
        { "pet.alwaysOnTop", true },
        { "pet.visible", true },
        { "pet.sourceCodex", true },
        { "pet.sourceProcess", true },
        { "pet.discreet", true },
        { "pet.syncToDevices", true },
        { "pet.sounds", true },
    };
    EXPECT_EQ(store.dictionary(), expected);
    EXPECT_TRUE(store.object(Key::height)->is_number_float());
}

TEST(PetSettings, RoundTripThroughTheDefaultsFile)
{
    PetSettings const records[] = {
        PetSettings(),
        changed([](auto& s) {
            s.x = -1200.25;
            s.groundY = 0;
            s.pinned = true;
            s.height = 72;
            s.skin = Skin::geo;
            s.alwaysOnTop = false;
            s.visible = false;
            s.sourceCodex = false;
            s.sourceProcess = false;
            s.discreet = false;
            s.syncToDevices = false;
            s.sounds = true;
            s.language = "pt_br";
        }),
        changed([](auto& s) {
            s.x = 1e-300;
            s.height = 128;
            s.skin = Skin::pixel;
            s.language = "zh-Hant";
        }),
    };
    for (auto const& record : records) {
        TestSupport::TemporaryDirectory home;
        auto folder = configFolder(home);
        {
            auto store = Platform::FileDefaultsStore::open(folder, suite);
            ASSERT_TRUE(store);
            // Over a record that used every key, so that a key the new one leaves out must go.
            records[1].save(*store);
            record.save(*store);
        }
        auto reopened = Platform::FileDefaultsStore::open(folder, suite);
        ASSERT_TRUE(reopened);
        EXPECT_EQ(PetSettings::load(*reopened), record) << TestSupport::readFile(reopened->file());
        EXPECT_EQ(TestSupport::fileMode(reopened->file()), 0600u);
    }
}

TEST(PetSettings, MalformedFileReadsAsDefaultsAndIsLeftAloneUntilTheNextSave)
{
    std::vector<std::string> const malformedFiles { "{\"pet.height\": 128, \"pet.sounds\": tru", "[\"pet.sounds\", true]", std::string("\0\xFF", 2) };
    for (auto const& malformed : malformedFiles) {
        TestSupport::TemporaryDirectory home;
        auto folder = configFolder(home);
        auto file = folder / (std::string(suite) + ".json");
        TestSupport::writeFile(file, malformed);

        auto store = Platform::FileDefaultsStore::open(folder, suite);
        ASSERT_TRUE(store);
        EXPECT_EQ(PetSettings::load(*store), PetSettings());
        EXPECT_EQ(PetSettings::load(*Platform::FileDefaultsStore::open(folder, suite)), PetSettings());
        EXPECT_EQ(TestSupport::readFile(file), malformed);

        auto settings = changed([](auto& s) {
            s.height = 128;
            s.sounds = true;
        });
        settings.save(*store);
        EXPECT_NE(TestSupport::readFile(file), malformed);
        EXPECT_EQ(PetSettings::load(*Platform::FileDefaultsStore::open(folder, suite)), settings);
    }
}

// A height that is not a number cannot be written into the file; were it kept in the store, no
// later save of the same record would reach the disk.
TEST(PetSettings, HeightThatIsNotANumberNeverBlocksLaterSaves)
{
    for (double height : { notANumber, infinity }) {
        TestSupport::TemporaryDirectory home;
        auto folder = configFolder(home);
        auto store = Platform::FileDefaultsStore::open(folder, suite);
        ASSERT_TRUE(store);
        auto settings = changed([&](auto& s) { s.height = height; });
        settings.save(*store);
        settings.skin = Skin::ink;
        settings.save(*store);
        EXPECT_EQ(PetSettings::load(*Platform::FileDefaultsStore::open(folder, suite)), changed([](auto& s) { s.skin = Skin::ink; }));
    }
}
