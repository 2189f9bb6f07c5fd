#include "PawletKit/tests/TestSupport.hpp"
#include "platform/FileDefaultsStore.hpp"
#include "platform/MemoryDefaultsStore.hpp"

#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>

using namespace Platform;
using nlohmann::json;

TEST(DefaultsStore, BooleansReadTheWayUserDefaultsReadThem)
{
    struct Case {
        json stored;
        std::optional<bool> expected;
    } const cases[] = {
        { true, true },
        { false, false },
        { 1, true },
        { 0, false },
        { -3, true },
        { 0.0, false },
        { 0.5, true },
        { "YES", true },
        { "yes", true },
        { "true", true },
        { "1", true },
        { "  +007", true },
        { "NO", false },
        { "false", false },
        { "0", false },
        { "", false },
        { "maybe", false },
        { json::array(), std::nullopt },
        { json::object(), std::nullopt },
    };
    for (auto const& c : cases) {
        MemoryDefaultsStore store;
        store.set("k", c.stored);
        EXPECT_EQ(store.boolean("k"), c.expected) << c.stored.dump();
    }
    EXPECT_EQ(MemoryDefaultsStore().boolean("missing"), std::nullopt);
}

TEST(DefaultsStore, TypedGettersReadAWrongTypeAsAbsent)
{
    MemoryDefaultsStore store(json { { "n", 10.5 }, { "s", "10" }, { "i", 7 }, { "b", true } });
    EXPECT_EQ(store.number("n"), 10.5);
    EXPECT_EQ(store.number("s"), std::nullopt);
    EXPECT_EQ(store.number("b"), std::nullopt);
    EXPECT_EQ(store.integer("n"), 10);
    EXPECT_EQ(store.integer("i"), 7);
    EXPECT_EQ(store.string("s"), "10");
    EXPECT_EQ(store.string("n"), std::nullopt);
    store.set("s", nullptr);
    EXPECT_FALSE(store.contains("s"));
}

TEST(DefaultsStore, IntegersBeyondSixtyFourBitsStopAtTheEnds)
{
    constexpr auto largest = std::numeric_limits<int64_t>::max();
    constexpr auto smallest = std::numeric_limits<int64_t>::min();
    struct Case {
        char const* stored;
        std::optional<int64_t> expected;
    } const cases[] = {
        { "9223372036854775807", largest },
        { "9223372036854775808", largest },
        { "18446744073709551615", largest },
        { "-9223372036854775808", smallest },
        { "1e300", largest },
        { "-1e300", smallest },
        { "-7.9", -7 },
    };
    for (auto const& c : cases) {
        MemoryDefaultsStore store;
        store.set("k", json::parse(c.stored));
        EXPECT_EQ(store.integer("k"), c.expected) << c.stored;
    }
}

TEST(FileDefaultsStore, ValuesSurviveReopeningAndTheFileIsPrivate)
{
    TestSupport::TemporaryDirectory folder;
    auto config = folder.path() / "config" / "Pupnik";
    {
        auto store = FileDefaultsStore::open(config, "com.example.suite");
        ASSERT_TRUE(store);
        store->set("pet.height", 128.0);
        store->set("pet.skin", "ink");
        store->remove("pet.skin");
        store->set("pet.sounds", true);
    }
    auto file = config / "com.example.suite.json";
    struct stat info { };
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    auto reopened = FileDefaultsStore::open(config, "com.example.suite");
    EXPECT_EQ(reopened->number("pet.height"), 128.0);
    EXPECT_FALSE(reopened->contains("pet.skin"));
    EXPECT_EQ(reopened->boolean("pet.sounds"), true);
}

TEST(FileDefaultsStore, AMalformedFileReadsAsEmptyAndIsKeptUntilAChange)
{
    TestSupport::TemporaryDirectory folder;
    auto file = folder.path() / "suite.json";
    for (std::string const& bytes : { std::string("{not json"), std::string("[1,2]"), std::string("\"text\"") }) {
        TestSupport::writeFile(file, bytes);
        auto store = FileDefaultsStore::open(folder.path(), "suite");
        EXPECT_FALSE(store->contains("anything"));
        EXPECT_EQ(TestSupport::readFile(file), bytes);
        store->set("pet.x", 3.0);
        auto reopened = FileDefaultsStore::open(folder.path(), "suite");
        EXPECT_EQ(reopened->number("pet.x"), 3.0);
    }
}

TEST(FileDefaultsStore, SuiteNamesThatCannotNameAFileAreRefused)
{
    for (std::string_view name : { "", "../x", "a/b", ".hidden", "with space" })
        EXPECT_FALSE(FileDefaultsStore::fileFor("/tmp", name)) << name;
    EXPECT_EQ(FileDefaultsStore::fileFor("/tmp", "com.ardlow.pupnik"), std::filesystem::path("/tmp/com.ardlow.pupnik.json"));
}

TEST(FileDefaultsStore, DefaultFolderFollowsXDGConfigHome)
{
    EXPECT_EQ(FileDefaultsStore::defaultFolder({ { "HOME", "/home/u" } }), std::filesystem::path("/home/u/.config/Pupnik"));
    EXPECT_EQ(FileDefaultsStore::defaultFolder({ { "HOME", "/home/u" }, { "XDG_CONFIG_HOME", "/c" } }), std::filesystem::path("/c/Pupnik"));
    EXPECT_EQ(FileDefaultsStore::defaultFolder({ { "HOME", "/home/u" }, { "XDG_CONFIG_HOME", "rel" } }), std::filesystem::path("/home/u/.config/Pupnik"));
}

TEST(DefaultsStore, ABatchSetsAndRemovesInOrder)
{
    json const stored { { "keep", 1 }, { "gone", "x" }, { "twice", 1 } };
    DefaultsStore::Changes const changes {
        { "gone", nullptr },
        { "new", "n" },
        { "twice", 2 },
        { "twice", 3 },
        { "absent", nullptr },
        { "pet.sounds", true },
    };
    json const expected { { "keep", 1 }, { "new", "n" }, { "twice", 3 }, { "pet.sounds", true } };

    MemoryDefaultsStore memory(stored);
    memory.apply(changes);
    EXPECT_EQ(memory.dictionary(), expected);

    TestSupport::TemporaryDirectory folder;
    TestSupport::writeFile(folder.path() / "suite.json", stored.dump());
    FileDefaultsStore::open(folder.path(), "suite")->apply(changes);
    EXPECT_EQ(json::parse(TestSupport::readFile(folder.path() / "suite.json")), expected);
}

// Every replacement of the file is a write and an fsync; a batch must cost one, and a batch that
// changes nothing none.
TEST(FileDefaultsStore, ABatchReplacesTheFileOnceAndOnlyWhenSomethingChanged)
{
    TestSupport::TemporaryDirectory folder;
    auto store = FileDefaultsStore::open(folder.path(), "suite");
    TestSupport::FolderRenames renames(folder.path());

    DefaultsStore::Changes const changes { { "a", 1.5 }, { "b", true }, { "c", "text" }, { "d", nullptr } };
    store->apply(changes);
    EXPECT_EQ(renames.onto("suite.json"), 1u);

    store->apply(changes);
    store->apply({ { "d", nullptr } });
    EXPECT_EQ(renames.onto("suite.json"), 1u);

    store->apply({ { "a", 1.5 }, { "c", nullptr } });
    EXPECT_EQ(renames.onto("suite.json"), 2u);
    EXPECT_EQ(json::parse(TestSupport::readFile(store->file())), (json { { "a", 1.5 }, { "b", true } }));
}

TEST(FileDefaultsStore, AValueJSONCannotHoldIsRefusedAloneAndLaterSavesGoOn)
{
    TestSupport::TemporaryDirectory folder;
    auto store = FileDefaultsStore::open(folder.path(), "suite");
    store->set("pet.x", std::numeric_limits<double>::quiet_NaN());
    store->apply({ { "pet.groundY", std::numeric_limits<double>::infinity() }, { "bad", std::string("\xFF") }, { "pet.height", 72.0 } });
    store->set("pet.skin", "geo");
    EXPECT_FALSE(store->contains("pet.x"));
    EXPECT_FALSE(store->contains("pet.groundY"));
    EXPECT_FALSE(store->contains("bad"));
    auto reopened = FileDefaultsStore::open(folder.path(), "suite");
    EXPECT_EQ(reopened->number("pet.height"), 72.0);
    EXPECT_EQ(reopened->string("pet.skin"), "geo");
}
