#include "PawletKit/tests/TestSupport.hpp"
#include "platform/FileDefaultsStore.hpp"
#include "platform/MemoryDefaultsStore.hpp"
#include "shared/SharedStore.hpp"

#include <gtest/gtest.h>

using namespace PawletShared;

namespace {

class SharedStoreTest : public ::testing::Test {
protected:
    // Never the user's own suite: a test's store is dropped for a fresh one afterwards.
    void SetUp() override { SharedStore::setDefaults(m_store); }
    void TearDown() override { SharedStore::setDefaults(std::make_shared<Platform::MemoryDefaultsStore>()); }

    Platform::MemoryDefaultsStore& store() { return *m_store; }

private:
    std::shared_ptr<Platform::MemoryDefaultsStore> m_store = std::make_shared<Platform::MemoryDefaultsStore>();
};

PetSnapshot sample()
{
    PetSnapshot snapshot;
    snapshot.gait = Gait::walk;
    snapshot.mood = Mood::hungry;
    snapshot.intensity = 0.7;
    snapshot.quota.fiveHour = 62.5;
    snapshot.quota.resets.sevenDay = PawletKit::Date::fromSeconds(1'750'100'000);
    snapshot.sourceCounts = { { "claude", 2 } };
    snapshot.updatedAt = PawletKit::Date::fromSeconds(1'750'000'000.75);
    snapshot.activeSources = std::vector<std::string> { "claude" };
    snapshot.quotaBySource = std::map<std::string, QuotaWindow> { { "codex", { 40.1, 7.2, PawletKit::Date::fromSeconds(1'750'008'400) } } };
    return snapshot;
}

}

TEST_F(SharedStoreTest, EmptyStoreReadsTheDefaults)
{
    EXPECT_FALSE(SharedStore::showDetails());
    EXPECT_FALSE(SharedStore::demoMode());
    EXPECT_TRUE(SharedStore::haptics());
    EXPECT_TRUE(SharedStore::liveActivity());
    EXPECT_EQ(SharedStore::skin(), Skin::soft);
    EXPECT_EQ(SharedStore::language(), std::nullopt);
    EXPECT_EQ(SharedStore::load(), std::nullopt);
    EXPECT_TRUE(store().dictionary().empty());
}

TEST_F(SharedStoreTest, StoredValuesReadBackUnderTheirKeys)
{
    struct Case {
        std::string key;
        nlohmann::json stored;
        std::function<void()> check;
    } const cases[] = {
        { "settings.skin", "pixel", [] { EXPECT_EQ(SharedStore::skin(), Skin::pixel); } },
        { "settings.skin", "Pixel", [] { EXPECT_EQ(SharedStore::skin(), Skin::soft); } },
        { "settings.skin", 3, [] { EXPECT_EQ(SharedStore::skin(), Skin::soft); } },
        { "settings.language", "PT_br", [] { EXPECT_EQ(SharedStore::language(), Language(Language::ptBR)); } },
        { "settings.language", "klingon", [] { EXPECT_EQ(SharedStore::language(), std::nullopt); } },
        { "settings.haptics", false, [] { EXPECT_FALSE(SharedStore::haptics()); } },
        { "settings.liveActivity", "NO", [] { EXPECT_FALSE(SharedStore::liveActivity()); } },
        // Something stored that is no Boolean at all counts as false, not as the default.
        { "settings.haptics", nlohmann::json::array(), [] { EXPECT_FALSE(SharedStore::haptics()); } },
        { "settings.showDetails", "YES", [] { EXPECT_TRUE(SharedStore::showDetails()); } },
        { "settings.demoMode", 1, [] { EXPECT_TRUE(SharedStore::demoMode()); } },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.key + " = " + c.stored.dump());
        store().set(c.key, c.stored);
        c.check();
        store().remove(c.key);
    }
}

TEST_F(SharedStoreTest, WritesUseTheKeysAndNoLanguageRemovesIt)
{
    SharedStore::setHaptics(false);
    SharedStore::setLiveActivity(true);
    SharedStore::setShowDetails(true);
    SharedStore::setDemoMode(true);
    SharedStore::setSkin(Skin::geo);
    SharedStore::setLanguage(Language::zhHant);
    EXPECT_EQ(store().dictionary(), (nlohmann::json { { "settings.haptics", false }, { "settings.liveActivity", true }, { "settings.showDetails", true }, { "settings.demoMode", true }, { "settings.skin", "geo" }, { "settings.language", "zh-Hant" } }));
    EXPECT_FALSE(SharedStore::haptics());

    SharedStore::setLanguage(std::nullopt);
    EXPECT_FALSE(store().contains("settings.language"));
    EXPECT_EQ(SharedStore::language(), std::nullopt);
}

TEST_F(SharedStoreTest, SnapshotRoundTripsToWholeSeconds)
{
    PetSnapshot snapshot = sample();
    SharedStore::save(snapshot);
    ASSERT_TRUE(store().contains("snapshot.json"));
    auto loaded = SharedStore::load();
    ASSERT_TRUE(loaded);
    PetSnapshot expected = snapshot;
    expected.updatedAt = PawletKit::Date::fromSeconds(1'750'000'000);
    EXPECT_EQ(*loaded, expected);

    for (nlohmann::json stored : { nlohmann::json("not json"), nlohmann::json("[1, 2]"), nlohmann::json(42), nlohmann::json::object() }) {
        store().set("snapshot.json", stored);
        EXPECT_EQ(SharedStore::load(), std::nullopt) << stored.dump();
    }
}

TEST_F(SharedStoreTest, SnapshotThatCannotBeEncodedLeavesTheStoredOneAlone)
{
    SharedStore::save(sample());
    PetSnapshot broken = sample();
    broken.intensity = std::numeric_limits<double>::infinity();
    SharedStore::save(broken);
    EXPECT_EQ(SharedStore::load()->intensity, 0.7);
}

TEST_F(SharedStoreTest, SnapshotSurvivesAFileSuite)
{
    TestSupport::TemporaryDirectory folder;
    SharedStore::setDefaults(std::shared_ptr<Platform::DefaultsStore>(Platform::FileDefaultsStore::open(folder.path(), SharedStore::groupIdentifier)));
    SharedStore::save(sample());
    // Another program of the group opens the same suite.
    SharedStore::setDefaults(std::shared_ptr<Platform::DefaultsStore>(Platform::FileDefaultsStore::open(folder.path(), SharedStore::groupIdentifier)));
    auto loaded = SharedStore::load();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->quotaBySource, sample().quotaBySource);
}

TEST_F(SharedStoreTest, DiscreetResetRunsOnceAndThenLeavesTheChoiceAlone)
{
    SharedStore::setShowDetails(true);
    EXPECT_TRUE(SharedStore::migrateDiscreetReset());
    EXPECT_FALSE(SharedStore::showDetails());
    EXPECT_EQ(store().object("migration.v4.discreetReset"), nlohmann::json(true));

    SharedStore::setShowDetails(true);
    EXPECT_FALSE(SharedStore::migrateDiscreetReset());
    EXPECT_TRUE(SharedStore::showDetails());

    // Any flag at all counts as migrated.
    store().set("migration.v4.discreetReset", false);
    EXPECT_FALSE(SharedStore::migrateDiscreetReset());
    EXPECT_TRUE(SharedStore::showDetails());
}
