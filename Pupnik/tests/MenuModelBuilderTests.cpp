#include "PawletKit/SettingsInstaller.hpp"
#include "PawletKit/SpoolEvent.hpp"
#include "PawletKit/tests/TestSupport.hpp"
#include "Pupnik/MenuModelBuilder.hpp"
#include "app-core/ClipSelector.hpp"
#include "platform/ManualScheduler.hpp"
#include "platform/MemoryDefaultsStore.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace Pupnik;
using PupnikCore::Clip;
using PupnikCore::ConnectionState;
using PupnikCore::SyncStatus;

namespace {

class NoProcesses final : public PawletKit::ProcessSampler {
public:
    bool isAvailable() const override { return true; }
    std::vector<PawletKit::ProcessSample> sample(PawletKit::ProcessNames const&) override { return {}; }
};

enum class Hooks { none,
    missingFile,
    connected,
    outdated,
    unparsable };

// A home with the coding agent's settings file in a chosen shape, a codex folder that exists or
// not, and an engine driver on demand.
struct World {
    TestSupport::TemporaryDirectory folder;
    PawletKit::Paths paths = PawletKit::Paths::withBase(folder.path() / "support");
    std::filesystem::path settingsFile = folder.path() / "claude" / "settings.json";
    std::unique_ptr<PupnikCore::ClaudeConnector> connector;
    Platform::ManualScheduler scheduler;
    Platform::ManualClock clock { 1'800'000'000, 500 };
    std::unique_ptr<EngineDriver> driver;

    explicit World(Hooks hooks)
    {
        paths.ensureSupportDirectory();
        std::filesystem::create_directories(settingsFile.parent_path());
        if (hooks != Hooks::none)
            connector = std::make_unique<PupnikCore::ClaudeConnector>(settingsFile, paths, std::vector<std::filesystem::path> {}, PawletKit::Environment {}, clock);
        auto settings = PawletKit::SettingsInstaller::install(PawletKit::JSON::Value::object(), "/x/bin/pupnik-agent", std::nullopt).settings;
        switch (hooks) {
        case Hooks::none:
        case Hooks::missingFile:
            break;
        case Hooks::connected:
            TestSupport::writeFile(settingsFile, settings.dump());
            break;
        case Hooks::outdated:
            for (auto& [event, entries] : settings["hooks"].items())
                for (auto& entry : entries)
                    for (auto& hook : entry["hooks"])
                        hook.erase("timeout");
            TestSupport::writeFile(settingsFile, settings.dump());
            break;
        case Hooks::unparsable:
            TestSupport::writeFile(settingsFile, "{ \"hooks\": ");
            break;
        }
    }

    std::filesystem::path codexFolder() const { return folder.path() / "codex-sessions"; }

    EngineDriver& startDriver()
    {
        EngineDriver::Sources sources;
        sources.codexSessionsDir = codexFolder();
        sources.sampler = std::make_shared<NoProcesses>();
        driver = std::make_unique<EngineDriver>(paths, sources, scheduler, clock);
        driver->start();
        return *driver;
    }

    void readOneEvent()
    {
        PawletKit::JSON::Value input { { "session_id", "s1" }, { "tool_name", "Bash" } };
        TestSupport::appendFile(paths.spool(), PawletKit::SpoolEvent::make("PreToolUse", std::nullopt, &input, clock.now()).jsonLine());
        driver->tick();
    }

    MenuModelInputs inputs() const
    {
        MenuModelInputs inputs;
        inputs.connector = connector.get();
        inputs.driver = driver.get();
        return inputs;
    }
};

PawletKit::PawletState waitingState()
{
    PawletKit::PawletState state;
    state.mood = PawletKit::Mood::poop;
    state.waitingSessions = 1;
    state.knownSessions = 1;
    return state;
}

}

TEST(MenuModelBuilder, ConnectionInstalledAndUpgradeFollowTheSettingsFileAndTheDriver)
{
    struct Case {
        char const* name;
        Hooks hooks;
        std::optional<Clip> demo;
        bool driver;
        bool eventRead;
        ConnectionState connection;
        bool installed;
        bool upgrade;
    };
    Case const cases[] = {
        { "no connector", Hooks::none, std::nullopt, false, false, ConnectionState::notConnected, false, false },
        { "no connector, demo", Hooks::none, Clip::run, false, false, ConnectionState::connected, false, false },
        { "settings file missing", Hooks::missingFile, std::nullopt, true, false, ConnectionState::notConnected, false, false },
        { "settings file unparsable", Hooks::unparsable, std::nullopt, true, false, ConnectionState::notConnected, false, false },
        { "connected, no driver", Hooks::connected, std::nullopt, false, false, ConnectionState::connectedNoEvents, true, false },
        { "connected, nothing read yet", Hooks::connected, std::nullopt, true, false, ConnectionState::connectedNoEvents, true, false },
        { "connected, an event read", Hooks::connected, std::nullopt, true, true, ConnectionState::connected, true, false },
        { "connected, demo", Hooks::connected, Clip::sick, false, false, ConnectionState::connected, true, false },
        { "outdated hooks", Hooks::outdated, std::nullopt, true, true, ConnectionState::connected, true, true },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        World world(c.hooks);
        if (c.driver)
            world.startDriver();
        if (c.eventRead)
            world.readOneEvent();
        auto inputs = world.inputs();
        inputs.demoClip = c.demo;
        auto const model = MenuModelBuilder::makeMenuModel(inputs);
        EXPECT_EQ(model.connection, c.connection);
        EXPECT_EQ(model.installed, c.installed);
        EXPECT_EQ(model.needsHookUpgrade, c.upgrade);
        EXPECT_EQ(model.demoClip, c.demo);
    }
}

TEST(MenuModelBuilder, TheDemoStateWinsOverTheLiveOne)
{
    World world(Hooks::none);
    auto inputs = world.inputs();
    inputs.lastState = waitingState();
    EXPECT_EQ(MenuModelBuilder::makeMenuModel(inputs).state, waitingState());
    inputs.demoClip = Clip::happy;
    EXPECT_EQ(MenuModelBuilder::makeMenuModel(inputs).state, PupnikCore::ClipSelector::demoState(Clip::happy));
}

TEST(MenuModelBuilder, TheWaitingApplicationIsAskedOnlyForAWaitingPet)
{
    struct Case {
        char const* name;
        PawletKit::Mood liveMood;
        std::optional<Clip> demo;
        std::optional<std::string> answer;
        std::optional<std::string> expected;
        int asked;
    };
    Case const cases[] = {
        { "waiting, one application", PawletKit::Mood::poop, std::nullopt, "kitty", "kitty", 1 },
        { "waiting, no placeable session", PawletKit::Mood::poop, std::nullopt, std::nullopt, std::nullopt, 1 },
        { "busy pet with sessions waiting", PawletKit::Mood::normal, std::nullopt, "kitty", std::nullopt, 0 },
        { "hungry pet", PawletKit::Mood::hungry, std::nullopt, "kitty", std::nullopt, 0 },
        { "poop demo without a debug target", PawletKit::Mood::normal, Clip::poop, std::nullopt, std::nullopt, 1 },
        { "live wait behind a happy demo", PawletKit::Mood::poop, Clip::happy, "kitty", std::nullopt, 0 },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        World world(Hooks::none);
        auto inputs = world.inputs();
        inputs.lastState.mood = c.liveMood;
        inputs.lastState.waitingSessions = 1;
        inputs.demoClip = c.demo;
        int asked = 0;
        inputs.waitingAppName = [&] {
            ++asked;
            return c.answer;
        };
        EXPECT_EQ(MenuModelBuilder::makeMenuModel(inputs).waitingAppName, c.expected);
        EXPECT_EQ(asked, c.asked);
    }
}

TEST(MenuModelBuilder, CodexIsAvailableWhenItsSessionsFolderExists)
{
    struct Case {
        char const* name;
        bool folderExists;
        bool folderIsFile;
        bool driver;
        bool available;
    };
    Case const cases[] = {
        { "no driver, folder there", true, false, false, true },
        { "no driver, no folder", false, false, false, false },
        { "no driver, a file in its place", false, true, false, false },
        { "driver, folder there", true, false, true, true },
        { "driver, no folder", false, false, true, false },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        World world(Hooks::none);
        if (c.folderExists)
            std::filesystem::create_directories(world.codexFolder());
        if (c.folderIsFile)
            TestSupport::writeFile(world.codexFolder(), "x");
        if (c.driver)
            world.startDriver();
        auto inputs = world.inputs();
        LaunchOptions options(PawletKit::Environment { { "PUPNIK_CODEX_SESSIONS_DIR", world.codexFolder().string() } },
            PawletKit::Date::fromSeconds(1'800'000'000), world.folder.path());
        inputs.options = &options;
        EXPECT_EQ(MenuModelBuilder::makeMenuModel(inputs).codexAvailable, c.available);
    }
}

TEST(MenuModelBuilder, SyncStatusComesFromThePublisherWhenThereIsOne)
{
    World world(Hooks::none);
    auto inputs = world.inputs();
    EXPECT_EQ(MenuModelBuilder::makeMenuModel(inputs).syncStatus, std::nullopt);
    for (auto const& status : { SyncStatus::ready(), SyncStatus::ready(PawletKit::Date::fromSeconds(1'799'999'000)), SyncStatus::error("quota"),
             SyncStatus::disabledNoEntitlement(), SyncStatus::noAccount() }) {
        inputs.syncStatus = [status] { return std::optional<SyncStatus>(status); };
        EXPECT_EQ(MenuModelBuilder::makeMenuModel(inputs).syncStatus, status);
    }
}

TEST(MenuModelBuilder, SettingsAreThePetsLiveCopyElseTheSavedOnes)
{
    World world(Hooks::none);
    Platform::MemoryDefaultsStore defaults;
    PupnikCore::PetSettings saved;
    saved.height = 128;
    saved.skin = PupnikCore::Skin::ink;
    saved.save(defaults);
    auto inputs = world.inputs();
    inputs.defaults = &defaults;
    EXPECT_EQ(MenuModelBuilder::makeMenuModel(inputs).settings, saved);

    PupnikCore::PetSettings live;
    live.discreet = false;
    live.height = 72;
    inputs.petSettings = &live;
    EXPECT_EQ(MenuModelBuilder::makeMenuModel(inputs).settings, live);
}
