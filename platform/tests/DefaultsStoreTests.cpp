#include "PawletKit/tests/TestSupport.hpp"
#include "platform/FileDefaultsStore.hpp"
#include "platform/MemoryDefaultsStore.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <regex>
#include <sys/stat.h>
#include <thread>

using namespace Platform;
using nlohmann::json;

namespace {

// The files of a folder, without the lock that writers of a suite share.
std::vector<std::string> namesIn(std::filesystem::path const& folder)
{
    std::vector<std::string> names;
    for (auto const& entry : std::filesystem::directory_iterator(folder)) {
        auto name = entry.path().filename().string();
        if (!name.ends_with(".json.lock"))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}

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

// A file the store cannot read is still the user's: it reads as empty, and the first save keeps it
// aside under a name of its own, beside it, that no later read takes for the suite.
TEST(FileDefaultsStore, AnUnreadableFileIsKeptAsideBeforeTheFirstSaveOverIt)
{
    std::string const cases[] = {
        // One Latin-1 byte in an otherwise good file.
        "{\"pet.skin\": \"caf\xE9\", \"pet.height\": 96}",
        "{not json",
        "[1,2]",
        "\"text\"",
        std::string(FileDefaultsStore::maxFileBytes + 1, ' '),
    };
    std::regex const asideName(R"(suite\.json\.unreadable-\d{4}-\d\d-\d\dT\d\d-\d\d-\d\dZ)");
    for (auto const& bytes : cases) {
        SCOPED_TRACE(bytes.substr(0, 40));
        TestSupport::TemporaryDirectory home;
        auto folder = home.path() / ".config" / "Pupnik";
        auto file = folder / "suite.json";
        TestSupport::writeFile(file, bytes);

        testing::internal::CaptureStderr();
        auto store = FileDefaultsStore::open(folder, "suite");
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[Pupnik] defaults: " + file.string() + " is not a readable JSON object; it reads as empty and is kept aside before the first save over it\n");
        EXPECT_FALSE(store->contains("pet.height"));
        EXPECT_EQ(TestSupport::readFile(file), bytes);

        testing::internal::CaptureStderr();
        store->set("pet.x", 3.0);
        auto log = testing::internal::GetCapturedStderr();
        auto names = namesIn(folder);
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names[0], "suite.json");
        EXPECT_TRUE(std::regex_match(names[1], asideName)) << names[1];
        auto aside = folder / names[1];
        EXPECT_EQ(TestSupport::readFile(aside), bytes);
        EXPECT_EQ(log, "[Pupnik] defaults: kept the unreadable " + file.string() + " as " + aside.string() + "\n");

        // Only the suite's own file is read again, and it is one copy for good.
        auto reopened = FileDefaultsStore::open(folder, "suite");
        EXPECT_EQ(json::parse(TestSupport::readFile(file)), (json { { "pet.x", 3.0 } }));
        EXPECT_EQ(reopened->number("pet.x"), 3.0);
        EXPECT_FALSE(reopened->contains("pet.height"));
        store->set("pet.y", 1.0);
        reopened->set("pet.z", 2.0);
        EXPECT_EQ(namesIn(folder).size(), 2u);
        EXPECT_EQ(TestSupport::readFile(aside), bytes);
    }
}

// Dotfile managers keep the file as a link into their repository: the save goes to the link's
// target, which keeps its mode, and the link stays.
TEST(FileDefaultsStore, ALinkedFileIsWrittenThroughToItsTarget)
{
    struct Case {
        char const* name;
        std::optional<std::string> target;
        mode_t mode;
        json saved;
        mode_t savedMode;
    } const cases[] = {
        { "a readable target", R"({"pet.height": 96})", 0644, { { "pet.height", 96 }, { "pet.x", 3.0 } }, 0644 },
        { "a missing target", std::nullopt, 0, { { "pet.x", 3.0 } }, 0600 },
        { "an unreadable target", "{not json", 0640, { { "pet.x", 3.0 } }, 0640 },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        TestSupport::TemporaryDirectory home;
        auto folder = home.path() / ".config" / "Pupnik";
        auto dotfiles = home.path() / "dotfiles" / "pupnik";
        auto target = dotfiles / "suite.json";
        std::filesystem::create_directories(folder);
        std::filesystem::create_directories(dotfiles);
        if (c.target) {
            TestSupport::writeFile(target, *c.target);
            ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
        }
        auto link = folder / "suite.json";
        std::filesystem::create_symlink("../../dotfiles/pupnik/suite.json", link);

        testing::internal::CaptureStderr();
        auto store = FileDefaultsStore::open(folder, "suite");
        store->set("pet.x", 3.0);
        testing::internal::GetCapturedStderr();

        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(std::filesystem::read_symlink(link), "../../dotfiles/pupnik/suite.json");
        EXPECT_EQ(json::parse(TestSupport::readFile(target)), c.saved);
        EXPECT_EQ(TestSupport::fileMode(target), c.savedMode);
        EXPECT_EQ(FileDefaultsStore::open(folder, "suite")->number("pet.x"), 3.0);
        // An unreadable target is kept beside itself, where its repository has it.
        auto kept = namesIn(dotfiles);
        EXPECT_EQ(kept.size(), c.target && !json::accept(*c.target) ? 2u : 1u);
        if (kept.size() == 2) {
            EXPECT_EQ(TestSupport::readFile(dotfiles / kept[1]), *c.target);
        }
        EXPECT_EQ(namesIn(folder), std::vector<std::string> { "suite.json" });
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

// Programs of one group open the same suite: each must see what another set, and a write must
// change only its own key.
TEST(FileDefaultsStore, TwoStoresOnOneFileSeeEachOtherAndKeepEachOthersKeys)
{
    TestSupport::TemporaryDirectory folder;
    auto first = FileDefaultsStore::open(folder.path(), "group");
    auto second = FileDefaultsStore::open(folder.path(), "group");
    first->set("settings.skin", "soft");
    EXPECT_EQ(second->string("settings.skin"), "soft");

    second->set("settings.skin", "pixel");
    EXPECT_EQ(first->string("settings.skin"), "pixel");
    first->set("settings.haptics", false);
    EXPECT_EQ(json::parse(TestSupport::readFile(folder.path() / "group.json")),
        (json { { "settings.skin", "pixel" }, { "settings.haptics", false } }));

    // Without a read in between.
    second->apply({ { "settings.demoMode", true }, { "settings.skin", nullptr } });
    first->remove("settings.haptics");
    first->set("settings.language", "de");
    EXPECT_EQ(json::parse(TestSupport::readFile(folder.path() / "group.json")),
        (json { { "settings.demoMode", true }, { "settings.language", "de" } }));
    EXPECT_FALSE(first->contains("settings.skin"));
    EXPECT_EQ(second->string("settings.language"), "de");

    // A file another program deleted reads as empty.
    std::filesystem::remove(folder.path() / "group.json");
    EXPECT_FALSE(first->contains("settings.demoMode"));
}

// Writers that read, change and write at the same time lose each other's keys unless the whole
// step is taken under one lock.
TEST(FileDefaultsStore, WritersAtTheSameTimeLoseNoKey)
{
    TestSupport::TemporaryDirectory folder;
    constexpr int writers = 3;
    constexpr int keysEach = 40;
    std::vector<std::thread> threads;
    for (int writer = 0; writer < writers; ++writer) {
        threads.emplace_back([&folder, writer] {
            auto store = FileDefaultsStore::open(folder.path(), "group");
            for (int key = 0; key < keysEach; ++key)
                store->set("w" + std::to_string(writer) + "." + std::to_string(key), key);
        });
    }
    for (auto& thread : threads)
        thread.join();
    auto saved = json::parse(TestSupport::readFile(folder.path() / "group.json"));
    EXPECT_EQ(saved.size(), size_t(writers * keysEach));
}
