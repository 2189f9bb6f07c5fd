#include "PawletKit/ApprovalStore.hpp"
#include "PawletKit/SpoolEvent.hpp"
#include "PawletKit/tests/TestSupport.hpp"
#include "Pupnik/AppDelegate.hpp"
#include "Pupnik/OnboardingView.hpp"
#include "Pupnik/ScriptedAlertPresenter.hpp"
#include "app-core/ApprovalClickGuard.hpp"
#include "app-core/Localized.hpp"
#include "app-core/Localizer.hpp"
#include "platform/ClockText.hpp"
#include "platform/Desktop/FakeScreens.hpp"
#include "platform/FakeAudioOutput.hpp"
#include "platform/FakeCloudDatabase.hpp"
#include "platform/FakeWindowSystem.hpp"
#include "platform/ManualScheduler.hpp"
#include "platform/ManualWorkQueue.hpp"
#include "platform/SystemTimeZone.hpp"
#include "shared/CloudKitTransport.hpp"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace Pupnik;
using PawletKit::Gait;
using PawletKit::Mood;
using PawletKit::PawletState;
using PupnikCore::Clip;

namespace {

// Remembers what the delegate's pet shows.
class RecordingSurface final : public PetSurface {
public:
    QRect frame() const override { return m_frame; }
    void setFrame(QRect const& frame, bool) override { m_frame = frame; }
    void showImage(QImage const&) override { ++imagesShown; }
    void setMirrored(bool) override { }
    void setPixelated(bool) override { }
    void setKeptAbove(bool) override { }
    void orderFront() override { }
    void orderOut() override { }
    std::optional<std::string> toolTip() const override { return tip; }
    void setToolTip(std::optional<std::string> const& text) override { tip = text; }
    uint64_t windowId() const override { return 0; }
    std::optional<QImage> grabWindow() override { return std::nullopt; }
    PetView* view() override { return nullptr; }

    QRect m_frame;
    int imagesShown = 0;
    std::optional<std::string> tip;
};

PawletState stateOf(Gait gait, Mood mood)
{
    PawletState state;
    state.gait = gait;
    state.mood = mood;
    return state;
}

class SettableMute final : public Platform::OutputMuteQuery {
public:
    bool isMuted() override { return muted; }
    bool muted { false };
};

// A delegate launched on fakes in a folder of its own: settings, support folder and coding agent's
// settings all inside it; the clock is the real time of day, so the mailbox's age limits apply.
class Launch {
public:
    // beforeLaunch runs once the folder is laid out, before the delegate is made.
    explicit Launch(PawletKit::Environment extra = {}, nlohmann::json storedSettings = nlohmann::json::object(),
        std::function<void(Launch&)> const& beforeLaunch = {})
    {
        environment = {
            { "HOME", (folder.path() / "home").string() },
            { "XDG_CONFIG_HOME", (folder.path() / "config").string() },
            { "PUPNIK_SUPPORT_DIR", (folder.path() / "support").string() },
            { "PUPNIK_CLAUDE_SETTINGS", (folder.path() / "claude.json").string() },
            { "PUPNIK_CODEX_SESSIONS_DIR", (folder.path() / "codex").string() },
            { "PUPNIK_SKIP_ONBOARDING", "1" },
            { "PUPNIK_NO_CLOUD", "1" },
        };
        for (auto const& [name, value] : extra)
            environment[name] = value;
        // The machine's own agent processes must not move this pet.
        storedSettings["pet.sourceProcess"] = false;
        std::string suite = environment.contains("PUPNIK_DEFAULTS_SUITE") ? environment["PUPNIK_DEFAULTS_SUITE"] : std::string(AppDelegate::standardSuite);
        std::filesystem::create_directories(folder.path() / "config" / "Pupnik");
        TestSupport::writeFile(folder.path() / "config" / "Pupnik" / (suite + ".json"), storedSettings.dump());

        AppDelegate::Desktop desktop;
        auto ownedClock = std::make_unique<Platform::ManualClock>(PawletKit::Date::now().secondsSince1970);
        clock = ownedClock.get();
        desktop.clock = std::move(ownedClock);
        auto ownedScheduler = std::make_unique<Platform::ManualScheduler>();
        scheduler = ownedScheduler.get();
        desktop.scheduler = std::move(ownedScheduler);
        desktop.screens = std::make_unique<Platform::FakeScreens>(
            std::vector<Platform::Screens::Screen> { { { 0, 0, 1280, 800 }, { 0, 40, 1280, 760 } } });
        desktop.makePanel = [this] {
            auto owned = std::make_unique<RecordingSurface>();
            surface = owned.get();
            return owned;
        };
        auto ownedAlerts = std::make_unique<ScriptedAlertPresenter>();
        alerts = ownedAlerts.get();
        desktop.alerts = std::move(ownedAlerts);
        desktop.trayAvailable = false;
        auto ownedWindows = std::make_unique<Platform::FakeWindowSystem>();
        windows = ownedWindows.get();
        desktop.windows = std::move(ownedWindows);
        desktop.audio = std::make_unique<Platform::FakeAudioOutput>(audio);
        desktop.outputMute = outputMute;
        // Publishing starts only where a test lets it (PUPNIK_NO_CLOUD off), into the support folder.
        desktop.cloudEntitled = true;
        if (beforeLaunch)
            beforeLaunch(*this);
        if (cloud) {
            desktop.cloudDatabase = cloud;
            desktop.makeCloudQueue = [this] {
                auto owned = std::make_unique<Platform::ManualWorkQueue>(clock);
                cloudQueue = owned.get();
                return owned;
            };
        }
        LaunchOptions options(environment, PawletKit::Date::fromSeconds(clock->now()), folder.path());
        delegate = std::make_unique<AppDelegate>(std::move(options), environment, std::move(desktop));
        delegate->applicationWillFinishLaunching();
        if (!launchURLs.empty())
            delegate->openURLs(launchURLs);
        delegate->applicationDidFinishLaunching();
    }

    std::filesystem::path support() const { return folder.path() / "support"; }

    // A request of this session from a live process (the test itself), so no sweep takes it.
    std::string postRequest(std::string const& sessionId)
    {
        PawletKit::ApprovalRequest request;
        request.id = PawletKit::ApprovalStore::newId();
        request.tool = "Bash";
        request.sessionId = sessionId;
        request.hookPid = ::getpid();
        request.createdAt = clock->now();
        request.expiresAt = clock->now() + 100;
        EXPECT_TRUE(PawletKit::ApprovalStore(support() / "approvals").write(request));
        return request.id;
    }

    void appendEvent(std::string const& name, std::string const& sessionId, std::optional<std::string> matcher = std::nullopt)
    {
        PawletKit::JSON::Value input = PawletKit::JSON::Object { { "session_id", sessionId }, { "cwd", "/tmp/project" } };
        std::ofstream(support() / "events.jsonl", std::ios::app) << PawletKit::SpoolEvent::make(name, matcher, &input, clock->now()).jsonLine();
    }

    void tick()
    {
        clock->advance(EngineDriver::tickInterval);
        scheduler->advance(EngineDriver::tickInterval);
    }

    TestSupport::TemporaryDirectory folder;
    PawletKit::Environment environment;
    // Opened while the application launches, as program arguments are.
    std::vector<std::string> launchURLs;
    Platform::ManualClock* clock = nullptr;
    Platform::ManualScheduler* scheduler = nullptr;
    RecordingSurface* surface = nullptr;
    // Answers every alert with its first button.
    ScriptedAlertPresenter* alerts = nullptr;
    // A desktop without windows until a test adds some.
    Platform::FakeWindowSystem* windows = nullptr;
    // What the pet's sounds did; they play nowhere.
    std::shared_ptr<Platform::FakeAudioOutput::Record> audio = std::make_shared<Platform::FakeAudioOutput::Record>();
    // Whether the system output is silent, as the test sets it.
    std::shared_ptr<SettableMute> outputMute = std::make_shared<SettableMute>();
    // Set before launch (with PUPNIK_NO_CLOUD off), the publisher saves into it from a queue that
    // runs only when the test says, moving the delegate's clock with it.
    std::shared_ptr<Platform::FakeCloudDatabase> cloud;
    Platform::ManualWorkQueue* cloudQueue = nullptr;
    std::unique_ptr<AppDelegate> delegate;
};

QMouseEvent click()
{
    return QMouseEvent(QEvent::MouseButtonRelease, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
}

}

TEST(AppDelegateLaunch, LiveLaunchRunsTheDriverAndShowsItsFirstState)
{
    Launch launch;
    ASSERT_NE(launch.delegate->pet(), nullptr);
    ASSERT_NE(launch.delegate->driver(), nullptr);
    EXPECT_TRUE(launch.delegate->driver()->isRunning());
    EXPECT_FALSE(launch.delegate->driver()->processEnabled);
    EXPECT_TRUE(launch.delegate->sawFirstState());
    // Nothing has happened yet: the pet sleeps, which is idle at half speed.
    EXPECT_EQ(launch.delegate->pet()->choice().clip, Clip::idle);
    EXPECT_EQ(launch.delegate->pet()->choice().rate, 0.5);
    EXPECT_TRUE(launch.delegate->urlQueue().isReady());
    ASSERT_NE(launch.delegate->connector(), nullptr);
    EXPECT_EQ(launch.delegate->connector()->settingsFile(), launch.folder.path() / "claude.json");
}

TEST(AppDelegateLaunch, DemoClipPlaysWithoutDriver)
{
    struct Case {
        char const* name;
        Clip clip;
    };
    for (auto const& [name, clip] : { Case { "walk", Clip::walk }, Case { "sick", Clip::sick }, Case { "poop", Clip::poop } }) {
        SCOPED_TRACE(name);
        Launch launch(PawletKit::Environment { { "PUPNIK_DEMO_STATE", name } });
        EXPECT_EQ(launch.delegate->driver(), nullptr);
        EXPECT_EQ(launch.delegate->demoClip(), clip);
        EXPECT_EQ(launch.delegate->pet()->choice().clip, clip);
        EXPECT_EQ(launch.delegate->pet()->choice().rate, 1.0);
        EXPECT_FALSE(launch.surface->tip) << "a demo of a waiting pet says nothing about waiting";
    }
}

TEST(AppDelegateLaunch, SettingsComeFromTheSuiteAndTheDemoSkinIsNotSaved)
{
    Launch launch({ { "PUPNIK_DEFAULTS_SUITE", "try.out" }, { "PUPNIK_DEMO_SKIN", "ink" } }, { { "pet.height", 128 }, { "pet.skin", "pixel" } });
    EXPECT_EQ(launch.delegate->pet()->settings().height, 128);
    EXPECT_EQ(launch.delegate->pet()->settings().skin, PupnikCore::Skin::ink);
    EXPECT_EQ(launch.delegate->defaults().string(PupnikCore::PetSettings::Key::skin), "pixel");
    EXPECT_FALSE(std::filesystem::exists(launch.folder.path() / "config" / "Pupnik" / "com.ardlow.pupnik.json"));
}

TEST(AppDelegateLaunch, ShutdownStopsTheDriverAndSavesThePlace)
{
    Launch launch;
    launch.delegate->defaults().remove(PupnikCore::PetSettings::Key::x);
    launch.delegate->applicationWillTerminate();
    EXPECT_FALSE(launch.delegate->driver()->isRunning());
    EXPECT_EQ(launch.delegate->defaults().number(PupnikCore::PetSettings::Key::x), launch.delegate->pet()->roamer().x);
}

TEST(AppDelegateStates, EachStateSetsTheClipOnlyWhenClipOrRateChanges)
{
    Launch launch;
    auto& delegate = *launch.delegate;
    // The start's clip is read a frame per tick; the states come once it is whole.
    for (int tick = 0; tick < 600 && delegate.pet()->frames().empty(); ++tick) {
        launch.clock->advance(PetController::tickInterval);
        launch.scheduler->advance(PetController::tickInterval);
    }
    ASSERT_FALSE(delegate.pet()->frames().empty());
    struct Step {
        PawletState state;
        Clip clip;
        double rate;
        bool applied;
    };
    std::vector<Step> const steps {
        { stateOf(Gait::sleep, Mood::normal), Clip::idle, 0.5, false },
        { stateOf(Gait::idle, Mood::normal), Clip::idle, 1.0, true },
        { stateOf(Gait::idle, Mood::normal), Clip::idle, 1.0, false },
        { stateOf(Gait::walk, Mood::normal), Clip::walk, 1.0, true },
        { stateOf(Gait::run, Mood::hungry), Clip::hungry, 1.0, true },
        { stateOf(Gait::idle, Mood::poop), Clip::poop, 1.0, true },
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        int const shownBefore = launch.surface->imagesShown;
        delegate.handleState(steps[i].state);
        EXPECT_EQ(delegate.lastState(), steps[i].state);
        EXPECT_EQ(delegate.pet()->choice().clip, steps[i].clip);
        EXPECT_EQ(delegate.pet()->choice().rate, steps[i].rate);
        EXPECT_EQ(launch.surface->imagesShown > shownBefore, steps[i].applied);
        EXPECT_FALSE(delegate.pet()->movementPaused);
    }
}

TEST(AppDelegateStates, DemoKeepsItsClipWhileLiveStatesAreRemembered)
{
    Launch launch(PawletKit::Environment { { "PUPNIK_DEMO_STATE", "happy" } });
    auto const walking = stateOf(Gait::walk, Mood::poop);
    launch.delegate->handleState(walking);
    EXPECT_EQ(launch.delegate->lastState(), walking);
    EXPECT_EQ(launch.delegate->pet()->choice().clip, Clip::happy);
    EXPECT_FALSE(launch.surface->tip);
}

TEST(AppDelegateStates, TooltipTellsWaitingFromApprovalOutsideDiscreetMode)
{
    struct Case {
        char const* name;
        bool discreet;
        bool request;
        std::optional<std::string> key;
    };
    for (auto const& [name, discreet, request, key] : {
             Case { "waiting", false, false, "pet.tooltip.waiting" },
             Case { "approval", false, true, "pet.tooltip.approval" },
             Case { "discreet", true, true, std::nullopt },
         }) {
        SCOPED_TRACE(name);
        Launch launch({}, { { "pet.discreet", discreet } });
        if (request)
            launch.postRequest("session-a");
        else
            launch.appendEvent("Notification", "session-a", "permission_prompt");
        launch.tick();
        EXPECT_EQ(launch.delegate->pet()->choice().clip, Clip::poop);
        EXPECT_EQ(launch.surface->tip, key ? std::optional(PupnikCore::localized(*key)) : std::nullopt);
    }
}

// The driver is stored only once its first tick has run, so that first state never announces a
// request, not even one left waiting from an earlier run; the next tick does.
TEST(AppDelegateStates, TheDriversFirstStateArrivesBeforeTheDriverIsStored)
{
    Launch launch({}, { { "pet.discreet", false } }, [](Launch& launch) { launch.postRequest("session-a"); });
    ASSERT_NE(launch.delegate->driver(), nullptr);
    EXPECT_EQ(launch.delegate->pet()->choice().clip, Clip::poop);
    EXPECT_EQ(launch.surface->tip, PupnikCore::localized("pet.tooltip.waiting"));
    launch.tick();
    EXPECT_EQ(launch.surface->tip, PupnikCore::localized("pet.tooltip.approval"));
}

TEST(AppDelegateClicks, PendingRequestWinsOverWaitingSessionsExceptInDemo)
{
    struct Case {
        char const* name;
        PawletKit::Environment environment;
        bool request;
        bool waitingSession;
        AppDelegate::ClickRoad road;
    };
    for (auto const& [name, environment, request, waitingSession, road] : {
             Case { "request and waiting session", {}, true, true, AppDelegate::ClickRoad::approvalPopover },
             Case { "nothing placeable", {}, false, true, AppDelegate::ClickRoad::menu },
             Case { "nothing at all", {}, false, false, AppDelegate::ClickRoad::menu },
             Case { "request during a demo", { { "PUPNIK_DEMO_STATE", "walk" } }, true, false, AppDelegate::ClickRoad::menu },
         }) {
        SCOPED_TRACE(name);
        Launch launch(environment);
        if (request)
            launch.postRequest("session-a");
        if (waitingSession)
            launch.appendEvent("Notification", "session-b", "permission_prompt");
        launch.tick();
        auto event = click();
        EXPECT_EQ(launch.delegate->handlePetClick(event), road);
        EXPECT_EQ(launch.delegate->approvalPopover().isShown(), road == AppDelegate::ClickRoad::approvalPopover);
    }
}

// The session's process owns a window: a click brings it forward, the popover's terminal button
// too, and the menu names its application while an agent waits.
TEST(AppDelegateClicks, AWaitingSessionsWindowIsBroughtForwardAndNamed)
{
    Launch launch(PawletKit::Environment { { "PUPNIK_DEBUG_WAITING_SID", "debug-session" }, { "PUPNIK_DEBUG_WAITING_PIDS", "4242" } });
    auto& windows = *launch.windows;
    windows.managed.push_back({ 0x4242, 4242, "xterm", "XTerm", "agent", true, false, 1 });
    windows.managed.push_back({ 0x9000, 9000, "firefox", "firefox", "news", true, false, 2 });
    windows.active = 0x9000;
    launch.appendEvent("Notification", "session-b", "permission_prompt");
    launch.tick();
    EXPECT_EQ(launch.delegate->makeMenuModel().waitingAppName, "XTerm");

    auto event = click();
    EXPECT_EQ(launch.delegate->handlePetClick(event), AppDelegate::ClickRoad::sessionFocus);
    launch.scheduler->advance(1);
    EXPECT_EQ(windows.active, 0x4242u);

    windows.active = 0x9000;
    PawletKit::ApprovalRequest request;
    request.sessionId = "no-such-session";
    launch.delegate->openTerminal(request);
    launch.scheduler->advance(1);
    EXPECT_EQ(windows.active, 0x4242u);
    EXPECT_EQ(windows.sent.size(), 2u);
}

TEST(AppDelegateApprovals, ClickOpensThePopoverWhoseButtonsAnswerOnlyAfterTheSettleWindow)
{
    Launch launch;
    auto& delegate = *launch.delegate;
    std::string const id = launch.postRequest("asking");
    launch.tick();
    auto event = click();
    ASSERT_EQ(delegate.handlePetClick(event), AppDelegate::ClickRoad::approvalPopover);
    ASSERT_TRUE(delegate.approvalPopoverWindow().isVisible());
    EXPECT_EQ(delegate.approvalPopover().selectedID(), id);

    // The second half of a double click lands on the button at once and must not allow.
    PawletKit::ApprovalStore store(launch.support() / "approvals");
    delegate.approvalPopoverWindow().allowButton()->click();
    EXPECT_FALSE(store.readReply(id));
    EXPECT_TRUE(delegate.approvalPopover().isShown());

    launch.clock->advance(PupnikCore::ApprovalClickGuard::settleWindow);
    delegate.approvalPopoverWindow().allowButton()->click();
    EXPECT_EQ(store.readReply(id), PawletKit::ApprovalDecision::allow);
    EXPECT_FALSE(delegate.approvalPopover().isShown());
    EXPECT_TRUE(delegate.pendingApprovals().empty());
}

TEST(AppDelegateApprovals, TwoRequestsAreAnsweredOneAfterTheOtherInOnePopover)
{
    Launch launch;
    auto& delegate = *launch.delegate;
    std::string const first = launch.postRequest("one");
    std::string const second = launch.postRequest("two");
    launch.tick();
    ASSERT_EQ(delegate.pendingApprovals().size(), 2u);
    auto event = click();
    delegate.handlePetClick(event);
    std::string const shownFirst = *delegate.approvalPopover().selectedID();
    std::string const shownSecond = shownFirst == first ? second : first;

    PawletKit::ApprovalStore store(launch.support() / "approvals");
    launch.clock->advance(PupnikCore::ApprovalClickGuard::settleWindow);
    delegate.approvalPopoverWindow().denyButton()->click();
    EXPECT_EQ(store.readReply(shownFirst), PawletKit::ApprovalDecision::deny);
    // The driver's shortened list moved the popover on to the other request, which settles anew.
    EXPECT_TRUE(delegate.approvalPopover().isShown());
    EXPECT_EQ(delegate.approvalPopover().selectedID(), shownSecond);
    EXPECT_FALSE(delegate.approvalPopoverWindow().listBox()->isVisibleTo(&delegate.approvalPopoverWindow()));
    delegate.approvalPopoverWindow().allowButton()->click();
    EXPECT_FALSE(store.readReply(shownSecond));

    launch.clock->advance(PupnikCore::ApprovalClickGuard::settleWindow);
    delegate.approvalPopoverWindow().allowButton()->click();
    EXPECT_EQ(store.readReply(shownSecond), PawletKit::ApprovalDecision::allow);
    EXPECT_FALSE(delegate.approvalPopover().isShown());
}

TEST(AppDelegateApprovals, PetStandsStillWhileThePopoverIsShownAndAWithdrawnRequestClosesIt)
{
    Launch launch;
    auto& delegate = *launch.delegate;
    std::string const id = launch.postRequest("asking");
    launch.tick();
    EXPECT_FALSE(delegate.pet()->movementPaused);
    auto event = click();
    delegate.handlePetClick(event);
    // The pause follows the popover at the next state, not at the click.
    EXPECT_FALSE(delegate.pet()->movementPaused);
    launch.tick();
    EXPECT_TRUE(delegate.pet()->movementPaused);

    // The coding agent took the request back: the driver's next list is empty and closes the popover.
    PawletKit::ApprovalStore(launch.support() / "approvals").remove(id);
    launch.tick();
    EXPECT_FALSE(delegate.approvalPopover().isShown());
    launch.tick();
    EXPECT_FALSE(delegate.pet()->movementPaused);
}

TEST(AppDelegateApprovals, TerminalButtonClosesThePopoverAtOnce)
{
    Launch launch;
    auto& delegate = *launch.delegate;
    std::string const id = launch.postRequest("asking");
    launch.tick();
    auto event = click();
    delegate.handlePetClick(event);
    delegate.approvalPopoverWindow().terminalButton()->click();
    EXPECT_FALSE(delegate.approvalPopover().isShown());
    EXPECT_FALSE(PawletKit::ApprovalStore(launch.support() / "approvals").readReply(id));
    EXPECT_EQ(delegate.pendingApprovals().size(), 1u);
}

TEST(AppDelegateClicks, WaitingTargetsPutTheDebugTargetFirstAndLeaveTheEngineOutOfDemos)
{
    PawletKit::Environment const debugTarget { { "PUPNIK_DEBUG_WAITING_SID", "debug-session" } };
    struct Case {
        char const* name;
        PawletKit::Environment environment;
        std::vector<std::string> sids;
    };
    auto withDemo = debugTarget;
    withDemo["PUPNIK_DEMO_STATE"] = "idle";
    for (auto const& [name, environment, sids] : {
             Case { "live", {}, { "waiting" } },
             Case { "live with a debug target", debugTarget, { "debug-session", "waiting" } },
             Case { "demo", withDemo, { "debug-session" } },
         }) {
        SCOPED_TRACE(name);
        Launch launch(environment);
        launch.appendEvent("UserPromptSubmit", "busy");
        launch.appendEvent("Notification", "waiting", "permission_prompt");
        launch.tick();
        std::vector<std::string> found;
        for (auto const& target : launch.delegate->waitingTargets())
            found.push_back(target.sid);
        EXPECT_EQ(found, sids);
    }
}

TEST(AppDelegateApprovals, AnswerReachesTheMailboxOnceAndTheTerminalGoesToTheRequestsSession)
{
    Launch launch;
    launch.appendEvent("Notification", "other", "permission_prompt");
    launch.appendEvent("Notification", "asking", "permission_prompt");
    std::string const id = launch.postRequest("asking");
    launch.tick();
    ASSERT_EQ(launch.delegate->pendingApprovals().size(), 1u);

    PawletKit::ApprovalRequest request = launch.delegate->pendingApprovals().front();
    auto targets = launch.delegate->terminalTargets(request);
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets.front().sid, "asking");
    request.sessionId = "gone";
    EXPECT_EQ(launch.delegate->terminalTargets(request).size(), 2u);

    PawletKit::ApprovalStore store(launch.support() / "approvals");
    launch.delegate->answerApproval(id, PawletKit::ApprovalDecision::deny);
    EXPECT_EQ(store.readReply(id), PawletKit::ApprovalDecision::deny);
    EXPECT_TRUE(launch.delegate->pendingApprovals().empty());

    // A second answer for a request that is gone changes nothing.
    store.remove(id);
    launch.delegate->answerApproval(id, PawletKit::ApprovalDecision::allow);
    EXPECT_FALSE(store.readReply(id));
}

namespace {

QMouseEvent rightClick()
{
    return QMouseEvent(QEvent::MouseButtonRelease, QPointF(10, 10), QPointF(40, 50), Qt::RightButton, Qt::NoButton, Qt::NoModifier);
}

nlohmann::json savedSettings(Launch const& launch)
{
    return nlohmann::json::parse(TestSupport::readFile(launch.folder.path() / "config" / "Pupnik" / "com.ardlow.pupnik.json"));
}

}

TEST(AppDelegateMenu, WithoutATrayThePetsClicksOpenTheMenuWithAFreshModel)
{
    // Discreet mode would show the application's name whatever the state.
    Launch launch({}, { { "pet.discreet", false } });
    auto* menuBar = launch.delegate->menuBar();
    ASSERT_NE(menuBar, nullptr);
    EXPECT_EQ(menuBar->statusItem(), nullptr);

    launch.delegate->handleState(stateOf(Gait::run, Mood::normal));
    launch.delegate->showPetContextMenu(rightClick());
    EXPECT_TRUE(menuBar->menu()->isVisible());
    auto const running = menuBar->rows().statusLine->text();
    EXPECT_FALSE(running.isEmpty());
    menuBar->menu()->hide();

    // A left click with nothing pending and no session to bring forward falls back to the menu,
    // which shows the state of this moment, not the one of its last opening.
    launch.delegate->handleState(stateOf(Gait::idle, Mood::hungry));
    EXPECT_EQ(launch.delegate->handlePetClick(click()), AppDelegate::ClickRoad::menu);
    EXPECT_TRUE(menuBar->menu()->isVisible());
    EXPECT_NE(menuBar->rows().statusLine->text(), running);
    menuBar->menu()->hide();
}

TEST(AppDelegateMenu, BadgeFollowsTheMoodAndDiscreetModeAtOnce)
{
    struct Case {
        char const* name;
        Mood mood;
        bool discreet;
        bool badge;
    };
    for (auto const& c : { Case { "hungry", Mood::hungry, false, true }, Case { "waiting", Mood::poop, false, true },
             Case { "normal", Mood::normal, false, false }, Case { "hungry discreet", Mood::hungry, true, false },
             Case { "waiting discreet", Mood::poop, true, false } }) {
        SCOPED_TRACE(c.name);
        Launch launch({}, { { "pet.discreet", c.discreet } });
        launch.delegate->handleState(stateOf(Gait::idle, c.mood));
        EXPECT_EQ(launch.delegate->menuBar()->badgeShown(), c.badge);
        // Switching discreet mode shows the same mood again with the other setting.
        launch.delegate->toggleDiscreet();
        EXPECT_EQ(launch.delegate->menuBar()->badgeShown(), c.mood != Mood::normal && c.discreet);
        EXPECT_EQ(savedSettings(launch)["pet.discreet"], !c.discreet);
    }
}

TEST(AppDelegateMenu, RowsReachThePetAndAreSavedAtOnce)
{
    Launch launch({}, { { "pet.pinned", false }, { "pet.sourceCodex", true } });
    auto const& rows = launch.delegate->menuBar()->rows();
    rows.pin->trigger();
    rows.codex->trigger();
    rows.top->trigger();
    auto const saved = savedSettings(launch);
    EXPECT_EQ(saved["pet.pinned"], true);
    EXPECT_EQ(saved["pet.sourceCodex"], false);
    EXPECT_EQ(saved["pet.alwaysOnTop"], false);
    EXPECT_FALSE(launch.delegate->driver()->codexEnabled);
    // The saved place is the pet's own.
    EXPECT_EQ(saved["pet.x"], launch.delegate->pet()->roamer().x);
}

TEST(AppDelegateMenu, LanguageRebuildsTheMenuAndIsStored)
{
    auto& localizer = PupnikCore::Localizer::shared();
    Launch launch(PawletKit::Environment { { "LANGUAGE", "en" }, { "LANG", "en_US.UTF-8" } });
    auto* menuBar = launch.delegate->menuBar();
    launch.delegate->onboarding().show({}, {});
    auto const english = menuBar->rows().show->text();

    launch.delegate->setLanguage(PupnikCore::Language::de);
    EXPECT_EQ(localizer.language(), PupnikCore::Language::de);
    EXPECT_EQ(menuBar->rows().show->text(), QString::fromStdString(PupnikCore::localized("menu.show")));
    EXPECT_NE(menuBar->rows().show->text(), english);
    EXPECT_EQ(savedSettings(launch)["pet.language"], "de");
    ASSERT_NE(launch.delegate->onboarding().window(), nullptr);
    EXPECT_EQ(launch.delegate->onboarding().window()->view()->connectButton()->text(), QString::fromStdString(PupnikCore::localized("onboarding.connect")));

    // Following the system again forgets the stored choice.
    launch.delegate->setLanguage(std::nullopt);
    EXPECT_EQ(menuBar->rows().show->text(), english);
    EXPECT_FALSE(savedSettings(launch).contains("pet.language"));
    launch.delegate->onboarding().close();
}

TEST(AppDelegateOnboarding, OfferedOnlyToALiveUnconnectedLaunchThatDoesNotSkipIt)
{
    struct Case {
        char const* name;
        PawletKit::Environment environment;
        bool shown;
    };
    for (auto const& c : { Case { "first run", { { "PUPNIK_SKIP_ONBOARDING", "0" } }, true },
             Case { "skipped", {}, false },
             Case { "demo", { { "PUPNIK_SKIP_ONBOARDING", "0" }, { "PUPNIK_DEMO_STATE", "walk" } }, false } }) {
        SCOPED_TRACE(c.name);
        Launch launch(c.environment);
        auto* window = launch.delegate->onboarding().window();
        EXPECT_EQ(window && window->isVisible(), c.shown);
        launch.delegate->onboarding().close();
    }
}

TEST(AppDelegateOnboarding, ConnectingFromTheWindowInstallsTheHooksAndDisconnectRemovesThem)
{
    Launch launch(PawletKit::Environment { { "PUPNIK_SKIP_ONBOARDING", "0" } });
    auto const settingsFile = launch.folder.path() / "claude.json";
    TestSupport::writeFile(settingsFile, R"({"model":"opus"})");
    auto* window = launch.delegate->onboarding().window();
    ASSERT_NE(window, nullptr);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window, &press);

    EXPECT_EQ(launch.delegate->onboarding().window(), nullptr) << "the window goes before the connection runs";
    ASSERT_EQ(launch.alerts->shown().size(), 1u);
    EXPECT_EQ(launch.alerts->shown().front().title, PupnikCore::localized("connect.done.title")) << launch.alerts->shown().front().text;
    EXPECT_TRUE(launch.delegate->connector()->isConnected());
    // The driver ran once at once and read the self-test's event.
    EXPECT_EQ(launch.delegate->makeMenuModel().connection, PupnikCore::ConnectionState::connected);

    // The first button keeps the support folder and takes only the hooks away.
    launch.delegate->disconnect();
    EXPECT_FALSE(launch.delegate->connector()->isConnected());
    EXPECT_EQ(nlohmann::json::parse(TestSupport::readFile(settingsFile)), nlohmann::json({ { "model", "opus" } }));
    EXPECT_TRUE(std::filesystem::exists(launch.support()));
}

TEST(AppDelegateAlerts, ErrorsAndAboutGoThroughThePresenter)
{
    Launch launch;
    launch.delegate->showError("Broken", std::runtime_error("the disk is full"));
    launch.delegate->about();
    ASSERT_EQ(launch.alerts->shown().size(), 2u);
    EXPECT_EQ(launch.alerts->shown()[0], Alert::error("Broken", std::runtime_error("the disk is full")));
    EXPECT_EQ(launch.alerts->shown()[0].style, Alert::Style::critical);
}

TEST(AppDelegateMenu, ALanguageChosenInTheMenuRebuildsItUnderTheChosenRow)
{
    Launch launch(PawletKit::Environment { { "LANGUAGE", "en" } });
    auto* menuBar = launch.delegate->menuBar();
    QMenu* languages = menuBar->rows().language->menu();
    ASSERT_NE(languages, nullptr);
    QAction* german = nullptr;
    for (QAction* row : languages->actions())
        if (row->data().toString() == "de")
            german = row;
    ASSERT_NE(german, nullptr);

    // The row's menu is replaced by the rebuild it starts; the row must outlive its own signal.
    QPointer<QMenu> old(languages);
    german->trigger();
    EXPECT_EQ(savedSettings(launch)["pet.language"], "de");
    EXPECT_EQ(menuBar->rows().show->text(), QString::fromStdString(PupnikCore::localized("menu.show")));
    EXPECT_NE(menuBar->rows().language->menu(), languages);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
    launch.delegate->setLanguage(std::nullopt);
}

TEST(AppDelegateMenu, ALanguageChangeTellsTheSameReasonInTheNewLanguage)
{
    struct Case {
        char const* name;
        bool request;
        char const* key;
    };
    for (auto const& [name, request, key] :
        { Case { "waiting", false, "pet.tooltip.waiting" }, Case { "approval", true, "pet.tooltip.approval" } }) {
        SCOPED_TRACE(name);
        Launch launch({ { "LANGUAGE", "en" } }, { { "pet.discreet", false } });
        if (request)
            launch.postRequest("session-a");
        else
            launch.appendEvent("Notification", "session-a", "permission_prompt");
        launch.tick();
        launch.delegate->setLanguage(PupnikCore::Language::de);
        EXPECT_EQ(launch.surface->tip, PupnikCore::localized(key));
        launch.delegate->setLanguage(std::nullopt);
        EXPECT_EQ(launch.surface->tip, PupnikCore::localized(key));
    }
}

TEST(AppDelegateMenu, TheMenuReadsTheTimeFromTheDelegatesClock)
{
    Launch launch({ { "LANGUAGE", "en" } }, { { "pet.discreet", false } });
    // Ten days back: a reset an hour ahead of the delegate's clock lies long past in real time.
    launch.clock->setNow(launch.clock->now() - 10 * 86400);
    PawletState state = stateOf(Gait::idle, Mood::hungry);
    state.quota.fiveHourUsed = 100;
    double const reset = launch.clock->now() + 3600;
    state.quota.fiveHourResetsAt = PawletKit::Date::fromSeconds(reset);
    launch.delegate->handleState(state);
    launch.delegate->showPetContextMenu(rightClick());
    auto* menuBar = launch.delegate->menuBar();
    std::string const line = menuBar->rows().statusLine->text().toStdString();
    EXPECT_NE(line.find(Platform::ClockText::hoursMinutes(reset, Platform::SystemTimeZone())), std::string::npos) << line;
    menuBar->menu()->hide();
}

TEST(AppDelegateURLCommands, URLsOpenedDuringLaunchRunInOrderOnceLaunchHasCompleted)
{
    testing::internal::CaptureStderr();
    Launch launch({}, nlohmann::json::object(), [](Launch& launch) {
        launch.launchURLs = { "pupnik://demo/poop", "https://example.com/demo/run", "not a url", "pupnik://demo/Off", "PUPNIK://demo/SICK" };
    });
    auto const log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(launch.delegate->demoClip(), Clip::sick);
    EXPECT_EQ(launch.delegate->pet()->choice().clip, Clip::sick);
    EXPECT_FALSE(launch.delegate->demoPlayer().hasTimer()) << "a URL demo lasts until it is turned off";
    EXPECT_NE(log.find("[Pupnik] url: draining 3 URL(s) queued during launch\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[Pupnik] unknown demo state in pupnik://demo/Off\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("example.com"), std::string::npos) << log;
}

TEST(AppDelegateURLCommands, DemoOffReturnsToTheLiveStateWithTheSameDriver)
{
    Launch launch;
    auto& delegate = *launch.delegate;
    auto* const driver = delegate.driver();
    delegate.openURLs({ "pupnik://demo/happy" });
    EXPECT_EQ(delegate.pet()->choice().clip, Clip::happy);
    EXPECT_EQ(delegate.driver(), driver);

    delegate.openURLs({ "pupnik://demo/off" });
    EXPECT_FALSE(delegate.demoClip());
    EXPECT_EQ(delegate.driver(), driver) << "no second driver";
    // Shown at once: the sleeping engine is idle at half speed.
    EXPECT_EQ(delegate.pet()->choice().clip, Clip::idle);
    EXPECT_EQ(delegate.pet()->choice().rate, 0.5);
}

TEST(AppDelegateURLCommands, UnknownCommandsAndShortURLsChangeNothing)
{
    Launch launch;
    auto& delegate = *launch.delegate;
    delegate.openURLs({ "pupnik://demo/walk" });
    testing::internal::CaptureStderr();
    delegate.openURLs({ "pupnik://feed/dog", "pupnik://demo", "pupnik://demo/dance", "pupnik://debug/nothing" });
    auto const log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log,
        "[Pupnik] unknown url pupnik://feed/dog\n"
        "[Pupnik] url: refused pupnik://demo: it names no command\n"
        "[Pupnik] unknown demo state in pupnik://demo/dance\n"
        "[Pupnik] unknown url pupnik://debug/nothing\n");
    EXPECT_EQ(delegate.demoClip(), Clip::walk);
}

TEST(AppDelegateURLCommands, MenuDemoEndsAfterTenSecondsUnlessAURLDemoTakesOver)
{
    Launch launch;
    auto& delegate = *launch.delegate;
    delegate.demo(Clip::run);
    EXPECT_EQ(delegate.pet()->choice().clip, Clip::run);
    launch.scheduler->advance(AppDelegate::menuDemoSeconds - 0.1);
    EXPECT_EQ(delegate.demoClip(), Clip::run);
    launch.scheduler->advance(0.2);
    EXPECT_FALSE(delegate.demoClip());
    EXPECT_EQ(delegate.pet()->choice().clip, Clip::idle);

    delegate.demo(Clip::run);
    launch.scheduler->advance(5);
    delegate.openURLs({ "pupnik://demo/walk" });
    launch.scheduler->advance(AppDelegate::menuDemoSeconds);
    EXPECT_EQ(delegate.demoClip(), Clip::walk) << "the URL demo cancelled the menu's end";

    // The menu row without a clip ends the demo.
    delegate.demo(std::nullopt);
    EXPECT_FALSE(delegate.demoClip());
}

TEST(AppDelegateURLCommands, LeavingADemoReturnsToTheLaunchDemoClip)
{
    Launch launch(PawletKit::Environment { { "PUPNIK_DEMO_STATE", "walk" } });
    auto& delegate = *launch.delegate;
    delegate.openURLs({ "pupnik://demo/happy" });
    EXPECT_EQ(delegate.pet()->choice().clip, Clip::happy);
    delegate.openURLs({ "pupnik://demo/off" });
    EXPECT_EQ(delegate.demoClip(), Clip::walk);
    EXPECT_EQ(delegate.pet()->choice().clip, Clip::walk);
    EXPECT_EQ(delegate.driver(), nullptr);
}

TEST(AppDelegateDebug, StatusDumpWritesTheReportWithLiveCountsAndSharesTheCounter)
{
    TestSupport::TemporaryDirectory snapshots;
    Launch launch(PawletKit::Environment { { "PUPNIK_DEBUG_SNAPSHOT_DIR", snapshots.path().string() } });
    auto& delegate = *launch.delegate;
    launch.appendEvent("PreToolUse", "busy-one", "Bash");
    launch.appendEvent("PreToolUse", "busy-two", "Bash");
    launch.tick();
    auto const clip = std::string(PupnikCore::rawValue(delegate.pet()->choice().clip));

    testing::internal::CaptureStderr();
    delegate.debugReports().dumpStatus();
    auto const log = testing::internal::GetCapturedStderr();
    auto const report = delegate.debugReports().statusReport();
    EXPECT_NE(log.find("[Pupnik] debug: events: claude=2 codex=0 process=0\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[Pupnik] debug: Hummo Pawlet "), std::string::npos) << log;
    EXPECT_NE(report.find("\nstate: gait=" + std::string(PawletKit::rawValue(delegate.lastState().gait)) + " mood=normal busy=2 known=2 "),
        std::string::npos)
        << report;
    auto const status = snapshots.path() / ("snap-01-" + clip + "-status.txt");
    ASSERT_TRUE(std::filesystem::exists(status));
    EXPECT_NE(TestSupport::readFile(status).find("events: claude=2 codex=0 process=0\n"), std::string::npos);

    delegate.debugReports().snapshotMenu(snapshots.path());
    EXPECT_EQ(delegate.debugReports().snapshotCount(), 2);
    launch.scheduler->advance(MenuSnapshot::finishDelay);
    EXPECT_FALSE(delegate.menuBar()->menu()->isVisible()) << "the snapshot closes the menu it opened";
    EXPECT_TRUE(std::filesystem::exists(snapshots.path() / "menu-02-t025-menu.png"));
    EXPECT_TRUE(std::filesystem::exists(snapshots.path() / "menu-02-t200-menu.png"));
}

TEST(AppDelegateDebug, ApprovalDebugTimerStartedTwiceOpensThePopoverOnceAndPressesDeny)
{
    Launch launch(PawletKit::Environment { { "PUPNIK_DEBUG_OPEN_APPROVAL_ON_LAUNCH", "1" }, { "PUPNIK_DEBUG_APPROVE", "deny" } });
    auto& delegate = *launch.delegate;
    ASSERT_TRUE(delegate.debugReports().approvalDebugTimerRunning());
    delegate.debugReports().startApprovalDebugTimer();
    launch.tick();
    EXPECT_FALSE(delegate.approvalPopover().isShown()) << "nothing to open yet";

    std::string const id = launch.postRequest("asking");
    launch.tick();
    launch.tick();
    ASSERT_TRUE(delegate.approvalPopover().isShown());
    EXPECT_FALSE(delegate.debugReports().approvalDebugTimerRunning());
    PawletKit::ApprovalStore store(launch.support() / "approvals");
    EXPECT_FALSE(store.readReply(id));
    for (int i = 0; i < 4; ++i)
        launch.tick();
    EXPECT_EQ(store.readReply(id), PawletKit::ApprovalDecision::deny);
    EXPECT_FALSE(delegate.approvalPopover().isShown());

    // Done: a later request is left to the user, whichever start it came from.
    launch.postRequest("later");
    for (int i = 0; i < 8; ++i)
        launch.tick();
    EXPECT_FALSE(delegate.approvalPopover().isShown());
}

TEST(AppDelegateDebug, DebugURLCommandsReport)
{
    struct Case {
        char const* name;
        PawletKit::Environment environment;
        char const* url;
        std::vector<std::string> lines;
    };
    PawletKit::Environment const waitingTarget { { "PUPNIK_DEBUG_WAITING_SID", "debug-session" }, { "PUPNIK_DEBUG_WAITING_PIDS", "999999" } };
    for (auto const& [name, environment, url, lines] : {
             Case { "cloud status without a publisher", {}, "pupnik://debug/cloud-status", { "[Pupnik] debug: cloud publisher absent (PUPNIK_NO_CLOUD)" } },
             Case { "status without waiting sessions", {}, "pupnik://debug/status", { "[Pupnik] debug: status line = " } },
             Case { "status with the debug waiting target", waitingTarget, "pupnik://debug/status",
                 { "[Pupnik] debug: status line = ",
                     "[Pupnik] debug: waiting sid=debug-session source=claude pids=[999999] names=[] tty=- cwd=- since=" } },
             // The target's process is gone, so no window can be placed.
             Case { "focus with no placeable target", waitingTarget, "pupnik://debug/focus-waiting",
                 { "[Pupnik] debug: status line = ", "[Pupnik] debug: waiting sid=debug-session ",
                     "[Pupnik] debug: nothing waiting / no locatable target" } },
         }) {
        SCOPED_TRACE(name);
        Launch launch(environment);
        testing::internal::CaptureStderr();
        launch.delegate->openURLs({ url });
        launch.scheduler->advance(1);
        auto const log = testing::internal::GetCapturedStderr();
        std::vector<std::string> logged;
        for (size_t start = 0, end; (end = log.find('\n', start)) != std::string::npos; start = end + 1)
            logged.push_back(log.substr(start, end - start));
        ASSERT_EQ(logged.size(), lines.size()) << log;
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(logged[i].starts_with(lines[i])) << logged[i];
        }
    }
}

TEST(AppDelegateDebug, FocusOutcomeNamesTheFrontmostWindowAndWritesItsReport)
{
    TestSupport::TemporaryDirectory snapshots;
    Launch launch(PawletKit::Environment { { "PUPNIK_DEBUG_SNAPSHOT_DIR", snapshots.path().string() } });
    auto& delegate = *launch.delegate;
    Platform::ManagedWindow terminal;
    terminal.id = 0x4242;
    terminal.wmInstance = "xterm";
    terminal.wmClass = "XTerm";
    terminal.title = "claude";
    terminal.stackingOrder = 2;
    launch.windows->managed = { terminal };
    launch.windows->active = terminal.id;
    delegate.debugReports().dumpStatus();

    SessionFocuser::Outcome outcome;
    outcome.success = true;
    outcome.method = "activate(options:)";
    testing::internal::CaptureStderr();
    delegate.debugReports().reportFocusOutcome(outcome);
    auto const log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("[Pupnik] debug: frontmost now XTerm [XTerm] pid 0\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[Pupnik] debug: focus outcome " + outcome.description() + "\n"), std::string::npos) << log;
    // The counter is shared with the status dump before it.
    auto const report = snapshots.path() / "focus-02-focus.txt";
    ASSERT_TRUE(std::filesystem::exists(report));
    EXPECT_EQ(TestSupport::readFile(report),
        "frontmost=XTerm [XTerm] pid 0\noutcome=" + outcome.description() + "\nwindow: owner=XTerm pid=0 layer=0 name=claude\n");
    EXPECT_EQ(std::filesystem::status(report).permissions() & std::filesystem::perms::all, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(AppDelegateDebug, LaunchOptionTimersReportOnceAfterTheirDelay)
{
    testing::internal::CaptureStderr();
    Launch launch(PawletKit::Environment { { "PUPNIK_DEBUG_FOCUS_ON_LAUNCH", "3" }, { "PUPNIK_DEBUG_CLOUD_STATUS_AFTER", "2" } });
    auto const atLaunch = testing::internal::GetCapturedStderr();
    EXPECT_NE(atLaunch.find("[Pupnik] debug: focus-on-launch in 3.0 s (PUPNIK_DEBUG_FOCUS_ON_LAUNCH) — this steals focus once\n"), std::string::npos)
        << atLaunch;
    EXPECT_EQ(atLaunch.find("cloud publisher absent"), std::string::npos);

    testing::internal::CaptureStderr();
    launch.scheduler->advance(2.5);
    auto const afterCloud = testing::internal::GetCapturedStderr();
    EXPECT_NE(afterCloud.find("[Pupnik] debug: cloud publisher absent (PUPNIK_NO_CLOUD)\n"), std::string::npos) << afterCloud;
    EXPECT_EQ(afterCloud.find("debug: status line"), std::string::npos) << afterCloud;

    testing::internal::CaptureStderr();
    launch.scheduler->advance(10);
    auto const afterFocus = testing::internal::GetCapturedStderr();
    EXPECT_NE(afterFocus.find("[Pupnik] debug: status line = "), std::string::npos) << afterFocus;
    EXPECT_NE(afterFocus.find("[Pupnik] debug: nothing waiting / no locatable target\n"), std::string::npos) << afterFocus;
    EXPECT_EQ(afterFocus.find("cloud publisher absent"), std::string::npos) << "each fires once";
}

TEST(AppDelegateMenu, TheSyncRowTellsWhatThePublisherDidAndTheSwitchTurnsItOffAndOn)
{
    Launch launch(PawletKit::Environment { { "LANGUAGE", "en" }, { "PUPNIK_NO_CLOUD", "0" } });
    auto* publisher = launch.delegate->publisher();
    ASSERT_NE(publisher, nullptr);
    auto* menuBar = launch.delegate->menuBar();
    auto syncRow = [&] {
        launch.delegate->showPetContextMenu(rightClick());
        std::string const text = menuBar->rows().syncStatus->text().toStdString();
        menuBar->menu()->hide();
        return text;
    };
    auto published = [&] { return publisher->state().lastPublished().has_value(); };

    launch.delegate->handleState(stateOf(Gait::walk, Mood::normal));
    for (int attempt = 0; attempt < 500 && !published(); ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(published()) << "the state never reached the record store";
    EXPECT_TRUE(std::filesystem::exists(launch.support() / "cloud" / "iCloud.com.ardlow.tailbase" / "current.json"));
    EXPECT_EQ(syncRow().rfind("Synced at ", 0), 0u) << syncRow();
    EXPECT_TRUE(menuBar->rows().syncToggle->isChecked());

    menuBar->rows().syncToggle->trigger();
    EXPECT_FALSE(publisher->enabled());
    EXPECT_EQ(savedSettings(launch)["pet.syncToDevices"], false);
    EXPECT_EQ(syncRow(), "Sync is off");

    menuBar->rows().syncToggle->trigger();
    EXPECT_TRUE(publisher->enabled());
    EXPECT_EQ(syncRow().rfind("Synced at ", 0), 0u);
}

namespace {

// The "sound: " lines among what was logged.
std::vector<std::string> soundLines(std::string const& log)
{
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("[Pupnik] sound: "))
            lines.push_back(line.substr(9));
    return lines;
}

}

TEST(AppDelegateSounds, AChangeOfMoodSoundsItsCueExceptForTheFirstStateADemoOrWithSoundsOff)
{
    struct Case {
        char const* name;
        PawletKit::Environment environment;
        bool soundsOn;
        // A request left waiting makes the very first state a change of mood.
        bool requestBeforeLaunch;
        std::vector<std::string> lines;
    };
    for (auto const& c : std::vector<Case> {
             { "live, sounds on", {}, true, false, { "sound: normal → hungry played(whimper)", "sound: hungry → happy played(yip)" } },
             { "the first state", {}, true, true, { "sound: poop → hungry played(whimper)", "sound: hungry → happy played(yip)" } },
             { "sounds off", {}, false, false, {} },
             { "a demo plays", { { "PUPNIK_DEMO_STATE", "happy" } }, true, false, {} },
         }) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStderr();
        Launch launch(c.environment, { { "pet.sounds", c.soundsOn } }, [&](Launch& launch) {
            if (c.requestBeforeLaunch)
                launch.postRequest("session-a");
        });
        launch.delegate->handleState(stateOf(Gait::idle, Mood::hungry));
        // The same mood again says nothing.
        launch.delegate->handleState(stateOf(Gait::walk, Mood::hungry));
        launch.clock->advance(1);
        launch.delegate->handleState(stateOf(Gait::idle, Mood::happy));
        EXPECT_EQ(soundLines(testing::internal::GetCapturedStderr()), c.lines);
        EXPECT_EQ(launch.audio->started.size(), c.lines.size());
    }
}

TEST(AppDelegateSounds, TheStatusReportSaysWhetherTheSystemOutputIsSilent)
{
    Launch launch;
    for (bool const muted : { true, false, true }) {
        launch.outputMute->muted = muted;
        EXPECT_NE(launch.delegate->debugReports().statusReport().find(std::string(" systemOutputSilent=") + (muted ? "true" : "false") + "\n"),
            std::string::npos)
            << launch.delegate->debugReports().statusReport();
    }
}

TEST(AppDelegateSounds, TheSampleSoundsWithSoundsOffAndTurningSoundsOffStopsWhatPlays)
{
    Launch launch({}, { { "pet.sounds", false } });
    testing::internal::CaptureStderr();
    launch.delegate->previewSound();
    launch.delegate->previewSound();
    EXPECT_EQ(soundLines(testing::internal::GetCapturedStderr()),
        (std::vector<std::string> { "sound: preview played(woof)", "sound: preview skipped(too-soon)" }));
    ASSERT_EQ(launch.audio->started.size(), 1u);
    EXPECT_EQ(launch.audio->started[0].filename(), "woof.wav");

    launch.delegate->toggleSounds();
    EXPECT_TRUE(launch.audio->stopped.empty());
    EXPECT_EQ(launch.audio->playing.size(), 1u);
    launch.delegate->toggleSounds();
    EXPECT_EQ(launch.audio->stopped.size(), 1u);
    EXPECT_TRUE(launch.audio->playing.empty());
}

namespace {

// A launch that publishes into a fake cloud database whose account is available; the driver's
// first state has gone out.
std::unique_ptr<Launch> publishingLaunch(PawletKit::Environment extra, nlohmann::json settings)
{
    extra["PUPNIK_NO_CLOUD"] = "0";
    auto launch = std::make_unique<Launch>(extra, settings, [](Launch& launch) { launch.cloud = std::make_shared<Platform::FakeCloudDatabase>(); });
    EXPECT_NE(launch->cloudQueue, nullptr);
    launch->cloudQueue->runPending();
    return launch;
}

// "gait/mood" of the record the publisher saved last.
std::string lastPublished(Launch const& launch)
{
    auto const& saves = launch.cloud->saveCalls();
    if (saves.empty())
        return "nothing";
    auto const snapshot = PawletShared::CloudKitTransport::snapshot(saves.back().record);
    if (!snapshot)
        return "undecodable";
    return std::string(PawletShared::rawValue(snapshot->gait)) + "/" + std::string(PawletShared::rawValue(snapshot->mood));
}

std::vector<std::string> linesOf(std::string const& log)
{
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

}

// Companion displays and the tray icon show the demo as they show a live state.
TEST(AppDelegateURLCommands, ADemoClipReachesThePublisherAndTheTrayBadge)
{
    struct Case {
        char const* name;
        std::function<void(AppDelegate&)> play;
        std::string published;
        bool badge;
    };
    for (auto const& c : std::vector<Case> {
             { "menu, waiting", [](AppDelegate& delegate) { delegate.demo(Clip::poop); }, "idle/poop", true },
             { "menu, running", [](AppDelegate& delegate) { delegate.demo(Clip::run); }, "run/normal", false },
             { "URL, hungry", [](AppDelegate& delegate) { delegate.openURLs({ "pupnik://demo/hungry" }); }, "idle/hungry", true },
             { "URL, walking", [](AppDelegate& delegate) { delegate.openURLs({ "pupnik://demo/walk" }); }, "walk/normal", false },
         }) {
        SCOPED_TRACE(c.name);
        auto const launch = publishingLaunch({}, { { "pet.discreet", false } });
        // The live state shows the other badge, so the demo's own is seen to arrive.
        launch->delegate->handleState(stateOf(Gait::stroll, c.badge ? Mood::normal : Mood::hungry));
        launch->cloudQueue->runPending();
        ASSERT_EQ(launch->delegate->menuBar()->badgeShown(), !c.badge);
        ASSERT_NE(lastPublished(*launch), c.published);

        c.play(*launch->delegate);
        EXPECT_EQ(launch->delegate->menuBar()->badgeShown(), c.badge);
        launch->cloudQueue->advance(PupnikCore::PublishThrottle::minInterval);
        EXPECT_EQ(lastPublished(*launch), c.published);
    }
}

TEST(AppDelegateDebug, TheCloudReportTellsTheSyncSettingAndWhatThePublisherDid)
{
    struct Case {
        char const* name;
        bool sync;
        // The beginnings of the lines logged, in order.
        std::vector<std::string> lines;
    };
    for (auto const& c : std::vector<Case> {
             { "sync on", true,
                 { "[Pupnik] debug: cloud sync setting=true status line = Synced at ",
                     "[Pupnik] debug: cloud publisher state=ready(lastPublished: 20", "[Pupnik] debug: cloud accountStatus=available",
                     "[Pupnik] debug: cloud fetch PetStatus/current ok updatedAt=20" } },
             { "sync off", false,
                 { "[Pupnik] debug: cloud sync setting=false status line = Sync is off\n",
                     "[Pupnik] debug: cloud publisher state=ready(lastPublished: nil) enabled=false entitled=true containers=",
                     "[Pupnik] debug: cloud accountStatus=available", "[Pupnik] debug: cloud fetch PetStatus/current failed: " } },
         }) {
        SCOPED_TRACE(c.name);
        auto const launch = publishingLaunch({ { "LANGUAGE", "en" } }, { { "pet.syncToDevices", c.sync } });
        launch->delegate->handleState(stateOf(Gait::walk, Mood::normal));
        launch->cloudQueue->runPending();
        EXPECT_EQ(launch->cloud->saveCalls().size(), c.sync ? 1u : 0u);

        testing::internal::CaptureStderr();
        launch->delegate->openURLs({ "pupnik://debug/cloud-status" });
        auto const log = testing::internal::GetCapturedStderr();
        auto const logged = linesOf(log);
        ASSERT_EQ(logged.size(), c.lines.size()) << log;
        for (size_t i = 0; i < c.lines.size(); ++i) {
            // A line given with its end must match whole.
            if (c.lines[i].ends_with('\n'))
                EXPECT_EQ(logged[i] + "\n", c.lines[i]);
            else
                EXPECT_TRUE(logged[i].starts_with(c.lines[i])) << logged[i];
        }
    }
}

// The keys go to the menu the snapshot opened, one after the other; a name that is no key is skipped.
TEST(AppDelegateDebug, TheDebugMenuKeysMoveThroughTheSnapshotsMenu)
{
    struct Case {
        char const* keys;
        // How many rows down the highlight ends.
        size_t rows;
    };
    for (auto const& c : { Case { "down", 1 }, Case { "down,down,down", 3 }, Case { "down,nonsense,down", 2 } }) {
        SCOPED_TRACE(c.keys);
        TestSupport::TemporaryDirectory snapshots;
        Launch launch(PawletKit::Environment { { "PUPNIK_DEBUG_MENU_KEYS", c.keys } });
        auto& delegate = *launch.delegate;
        delegate.debugReports().snapshotMenu(snapshots.path());
        QMenu* menu = delegate.menuBar()->menu();
        ASSERT_TRUE(menu->isVisible());
        std::vector<QAction*> selectable;
        for (QAction* row : menu->actions())
            if (row->isVisible() && row->isEnabled() && !row->isSeparator())
                selectable.push_back(row);
        ASSERT_GE(selectable.size(), 3u);

        launch.scheduler->advance(MenuSnapshot::firstKeyDelay - 0.05);
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(menu->activeAction(), nullptr) << "no key before its time";
        launch.scheduler->advance(0.05 + MenuSnapshot::keyInterval * 3);
        QCoreApplication::sendPostedEvents();
        ASSERT_NE(menu->activeAction(), nullptr);
        EXPECT_EQ(menu->activeAction(), selectable[c.rows - 1]) << menu->activeAction()->text().toStdString();
        launch.scheduler->advance(MenuSnapshot::finishDelay);
        EXPECT_FALSE(menu->isVisible());
    }
}
