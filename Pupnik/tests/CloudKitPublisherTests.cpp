#include "Pupnik/CloudKitPublisher.hpp"
#include "platform/FakeCloudDatabase.hpp"
#include "platform/ManualScheduler.hpp"
#include "platform/ManualWorkQueue.hpp"
#include "shared/CloudKitTransport.hpp"

#include <cmath>
#include <gtest/gtest.h>

using namespace Pupnik;
using Platform::CloudAccountStatus;
using Platform::CloudError;
namespace CloudErrorCode = Platform::CloudErrorCode;
using Platform::CloudSaveOutcome;
using PupnikCore::SyncStatus;

namespace {

PawletKit::PawletState state(PawletKit::Gait gait, PawletKit::Mood mood = PawletKit::Mood::normal, int claudeSessions = 1)
{
    PawletKit::PawletState value;
    value.gait = gait;
    value.mood = mood;
    value.busySessions = claudeSessions;
    if (claudeSessions > 0)
        value.sourceCounts = { { "claude", claudeSessions } };
    return value;
}

CloudSaveOutcome failedOperation(int code, std::string description)
{
    return CloudSaveOutcome { std::nullopt, std::nullopt, CloudError::cloud(code, std::move(description)) };
}

// A publisher on a queue and clock that move only when the test says, over the scriptable
// database; its log lines are kept. Times below are seconds since the rig was made.
struct Rig {
    // With a scheduler, the database answers after its latency on it.
    explicit Rig(bool enabled = true, bool hasContainer = true, Platform::Scheduler* answers = nullptr)
        : database(std::make_shared<Platform::FakeCloudDatabase>(answers))
    {
        auto ownedQueue = std::make_unique<Platform::ManualWorkQueue>(&clock);
        queue = ownedQueue.get();
        CloudKitPublisher::Services services;
        services.database = database;
        services.clock = &clock;
        services.mainThread = &mainThread;
        services.queue = std::move(ownedQueue);
        services.log = [this](std::string_view line) { logs.emplace_back(line); };
        services.entitledContainers = [] { return std::vector<std::string> { "iCloud.com.ardlow.tailbase", "iCloud.other" }; };
        publisher = std::make_unique<CloudKitPublisher>(enabled, hasContainer, std::move(services));
    }

    void start()
    {
        publisher->start();
        queue->runPending();
    }

    void update(PawletKit::PawletState const& value)
    {
        publisher->update(value, PupnikCore::Skin::soft);
        queue->runPending();
    }

    double now() const { return queue->now(); }
    // The wall time at a rig time.
    PawletKit::Date at(double seconds) const { return PawletKit::Date::fromSeconds(wallAtStart + seconds); }
    PawletKit::Date date() const { return PawletKit::Date::fromSeconds(clock.now()); }
    size_t saves() const { return database->saveCalls().size(); }
    std::string lastLog() const { return logs.empty() ? std::string() : logs.back(); }
    PawletShared::PetSnapshot lastSaved() const
    {
        return *PawletShared::CloudKitTransport::snapshot(database->saveCalls().back().record);
    }

    // The times of the saves made while time moves on by `seconds`, from one whole second to the next.
    std::vector<double> saveTimesOver(double seconds)
    {
        std::vector<double> times;
        double const end = now() + seconds;
        while (now() < end) {
            size_t const before = saves();
            queue->advance(std::min(std::floor(now() + 1), end) - now());
            if (saves() > before)
                times.push_back(now());
        }
        return times;
    }

    Platform::ManualClock clock;
    double const wallAtStart = clock.now();
    Platform::ManualScheduler mainThread;
    Platform::ManualWorkQueue* queue = nullptr;
    std::shared_ptr<Platform::FakeCloudDatabase> database;
    std::vector<std::string> logs;
    std::unique_ptr<CloudKitPublisher> publisher;
};

}

TEST(CloudKitPublisher, PublishesFirstThenChangesAtMostEveryTwoSecondsThenAHeartbeatWithoutALogLine)
{
    Rig rig;
    rig.start();
    EXPECT_EQ(rig.database->accountStatusCalls(), 1);
    EXPECT_EQ(rig.publisher->state(), SyncStatus::ready());
    EXPECT_EQ(rig.saves(), 0u) << "nothing to publish before the first state";

    rig.update(state(PawletKit::Gait::walk));
    ASSERT_EQ(rig.saves(), 1u) << "the first state goes out at once";
    auto const& first = rig.database->saveCalls().back();
    EXPECT_EQ(first.policy, Platform::CloudSavePolicy::changedKeys);
    EXPECT_EQ(first.record.recordType, "PetStatus");
    EXPECT_EQ(first.record.recordName, "current");
    EXPECT_EQ(rig.lastLog(), "cloud: published walk/normal busy=1 (first) tag=tag-1");
    EXPECT_EQ(rig.publisher->state(), SyncStatus::ready(rig.date()));
    auto const firstPublished = rig.date();

    rig.queue->advance(0.5);
    rig.update(state(PawletKit::Gait::run, PawletKit::Mood::normal, 2));
    EXPECT_EQ(rig.saves(), 1u) << "a change within 2 s of the last publish waits";
    EXPECT_EQ(rig.saveTimesOver(3), (std::vector<double> { 2 })) << "and goes out on the first tick 2 s after it";
    EXPECT_EQ(rig.lastSaved().gait, PawletShared::Gait::run);
    EXPECT_EQ(rig.lastLog(), "cloud: published run/normal busy=2 (changed) tag=tag-2");

    size_t const logLines = rig.logs.size();
    EXPECT_EQ(rig.saveTimesOver(60), (std::vector<double> { 62 })) << "an unchanged pet is published again after 60 s";
    EXPECT_EQ(rig.logs.size(), logLines) << "the heartbeat logs nothing";
    EXPECT_EQ(rig.publisher->state(), SyncStatus::ready(rig.at(62)));
    EXPECT_GT(rig.publisher->state().lastPublished(), firstPublished);
}

TEST(CloudKitPublisher, FailuresBackOffDoublingUpToFiveMinutesAndASuccessStartsAgainFromTwoSeconds)
{
    Rig rig;
    rig.start();
    for (int failure = 0; failure < 10; ++failure)
        rig.database->scriptSave(failedOperation(CloudErrorCode::networkFailure, "The network connection was lost."));
    rig.update(state(PawletKit::Gait::walk));
    ASSERT_EQ(rig.saves(), 1u);
    EXPECT_EQ(rig.lastLog(), "cloud: save failed (attempt 1, retry in 2 s): CKError.networkFailure(4): The network connection was lost.");
    EXPECT_EQ(rig.publisher->state(), SyncStatus::error("networkFailure: The network connection was lost."));

    auto const times = rig.saveTimesOver(1150);
    ASSERT_EQ(times.size(), 10u);
    std::vector<double> waits { times[0] };
    for (size_t index = 1; index < times.size(); ++index)
        waits.push_back(times[index] - times[index - 1]);
    EXPECT_EQ(waits, (std::vector<double> { 2, 4, 8, 16, 32, 64, 128, 256, 300, 300 }));
    EXPECT_EQ(rig.logs[8], "cloud: save failed (attempt 9, retry in 300 s): CKError.networkFailure(4): The network connection was lost.");
    // The tenth retry succeeded: the throttle never learnt of the failed ones, so it is still the first.
    EXPECT_EQ(rig.lastLog(), "cloud: published walk/normal busy=1 (first) tag=tag-1");

    rig.database->scriptSave(failedOperation(CloudErrorCode::serviceUnavailable, "busy"));
    rig.update(state(PawletKit::Gait::run));
    auto const failedAt = rig.now();
    ASSERT_EQ(rig.saves(), 12u);
    EXPECT_EQ(rig.lastLog(), "cloud: save failed (attempt 1, retry in 2 s): CKError.serviceUnavailable(6): busy");
    EXPECT_EQ(rig.saveTimesOver(3), (std::vector<double> { failedAt + 2 }));
}

TEST(CloudKitPublisher, BackOffDelayIsCappedForEveryCountOfFailures)
{
    struct Case {
        int64_t failures;
        double delay;
    } const cases[] = {
        { 1, 2 },
        { 2, 4 },
        { 8, 256 },
        { 9, 300 },
        { 63, 300 },
        { 64, 300 },
        { 1'000'000, 300 },
        { std::numeric_limits<int64_t>::max(), 300 },
    };
    for (auto const& test : cases)
        EXPECT_EQ(CloudKitPublisher::backoffDelay(test.failures), test.delay) << test.failures;
}

TEST(CloudKitPublisher, ARecordErrorInASucceededOperationIsAFailure)
{
    Rig rig;
    rig.start();
    rig.database->scriptSave(CloudSaveOutcome { CloudError::cloud(CloudErrorCode::serverRecordChanged, "changed elsewhere"), std::nullopt, std::nullopt });
    rig.database->scriptSave(CloudSaveOutcome { CloudError::system(28, "No space left on device"), std::nullopt, std::nullopt });
    rig.update(state(PawletKit::Gait::walk));
    EXPECT_EQ(rig.lastLog(), "cloud: save failed (attempt 1, retry in 2 s): CKError.serverRecordChanged(14): changed elsewhere");
    EXPECT_EQ(rig.publisher->state(), SyncStatus::error("serverRecordChanged: changed elsewhere"));
    EXPECT_EQ(rig.saveTimesOver(2), (std::vector<double> { 2 }));
    EXPECT_EQ(rig.lastLog(), "cloud: save failed (attempt 2, retry in 4 s): system(28): No space left on device");
    EXPECT_EQ(rig.publisher->state(), SyncStatus::error("No space left on device"));
}

TEST(CloudKitPublisher, NotAuthenticatedPausesUntilTheAccountComesBack)
{
    Rig rig;
    rig.start();
    rig.update(state(PawletKit::Gait::walk));
    auto const published = rig.date();
    rig.queue->advance(5);

    rig.database->scriptSave(failedOperation(CloudErrorCode::notAuthenticated, "No account"));
    rig.database->scriptAccountStatus(CloudAccountStatus::noAccount);
    rig.update(state(PawletKit::Gait::run));
    EXPECT_EQ(rig.publisher->state(), SyncStatus::noAccount());
    EXPECT_EQ(rig.database->accountStatusCalls(), 2) << "the account is asked again";
    EXPECT_EQ(rig.logs[rig.logs.size() - 2], "cloud: save failed (attempt 1, retry in 2 s): CKError.notAuthenticated(9): No account");
    EXPECT_EQ(rig.lastLog(), "cloud: accountStatus=noAccount");

    EXPECT_TRUE(rig.saveTimesOver(30).empty()) << "no account, no saves, back-off or not";

    rig.database->scriptAccountStatus(CloudAccountStatus::couldNotDetermine, CloudError::cloud(CloudErrorCode::networkUnavailable, "offline"));
    rig.database->fireAccountChange();
    rig.queue->runPending();
    EXPECT_EQ(rig.lastLog(), "cloud: accountStatus=couldNotDetermine (CKError.networkUnavailable(3): offline)");
    EXPECT_EQ(rig.saves(), 2u);

    rig.database->fireAccountChange();
    rig.queue->runPending();
    EXPECT_EQ(rig.saves(), 3u) << "an available account publishes at once";
    EXPECT_EQ(rig.lastSaved().gait, PawletShared::Gait::run);
    EXPECT_EQ(rig.lastLog(), "cloud: published run/normal busy=1 (changed) tag=tag-2");
    EXPECT_GT(rig.publisher->state().lastPublished(), published);
}

TEST(CloudKitPublisher, AnAccountComingBackTurnsNoAccountIntoReadyWithTheLastPublishButLeavesAnError)
{
    Rig rig;
    rig.database->scriptAccountStatus(CloudAccountStatus::restricted);
    rig.start();
    EXPECT_EQ(rig.publisher->state(), SyncStatus::noAccount());
    EXPECT_EQ(rig.lastLog(), "cloud: accountStatus=restricted");
    rig.update(state(PawletKit::Gait::walk));
    EXPECT_EQ(rig.saves(), 0u);

    rig.database->fireAccountChange();
    rig.queue->runPending();
    EXPECT_EQ(rig.saves(), 1u);
    auto const published = rig.date();

    // No account again, and back: the status carries the last publish time, not the report's.
    rig.database->scriptAccountStatus(CloudAccountStatus::temporarilyUnavailable);
    rig.database->fireAccountChange();
    rig.queue->advance(30);
    rig.database->fireAccountChange();
    rig.queue->runPending();
    EXPECT_EQ(rig.publisher->state(), SyncStatus::ready(published));

    rig.database->scriptSave(failedOperation(CloudErrorCode::quotaExceeded, "full"));
    rig.update(state(PawletKit::Gait::run));
    rig.database->fireAccountChange();
    rig.queue->runPending();
    EXPECT_EQ(rig.publisher->state(), SyncStatus::error("quotaExceeded: full")) << "only noAccount turns ready on the account's report";
}

TEST(CloudKitPublisher, SwitchedOffItSendsNothingAndSwitchedOnItLooksAtOnce)
{
    Rig rig(false);
    rig.start();
    rig.update(state(PawletKit::Gait::walk));
    rig.queue->advance(5);
    EXPECT_EQ(rig.saves(), 0u);
    EXPECT_FALSE(rig.publisher->enabled());

    rig.publisher->setEnabled(true);
    rig.queue->runPending();
    EXPECT_TRUE(rig.publisher->enabled());
    EXPECT_EQ(rig.saves(), 1u) << "turning on looks at once, without waiting for the tick";
    auto const status = rig.publisher->state();

    rig.publisher->setEnabled(false);
    rig.update(state(PawletKit::Gait::run));
    EXPECT_TRUE(rig.saveTimesOver(10).empty());
    EXPECT_EQ(rig.publisher->state(), status) << "turning off leaves the status alone";

    rig.update(state(PawletKit::Gait::walk));
    rig.publisher->setEnabled(true);
    rig.queue->runPending();
    EXPECT_EQ(rig.saves(), 1u) << "the throttle remembers: an unchanged pet within 60 s is not sent again";
    EXPECT_EQ(rig.saveTimesOver(60).size(), 1u);
}

TEST(CloudKitPublisher, WithoutTheEntitlementNothingRunsButTheValuesAreKept)
{
    Rig rig(true, false);
    rig.start();
    EXPECT_EQ(rig.logs, (std::vector<std::string> { "cloud: this build carries no iCloud entitlement — publisher disabled" }));
    EXPECT_EQ(rig.queue->activeTimers(), 0u);
    EXPECT_EQ(rig.database->accountObservers(), 0u);
    rig.update(state(PawletKit::Gait::walk));
    rig.publisher->setEnabled(false);
    rig.queue->advance(10);
    EXPECT_FALSE(rig.publisher->enabled());
    EXPECT_EQ(rig.publisher->state(), SyncStatus::disabledNoEntitlement());
    EXPECT_EQ(rig.saves(), 0u);
    EXPECT_EQ(rig.database->accountStatusCalls(), 0);
}

TEST(CloudKitPublisher, AStateHandedInDuringASaveWaitsForItsResult)
{
    Platform::ManualScheduler answers;
    Rig rig(true, true, &answers);
    rig.database->setLatency(3);
    rig.start();
    answers.advance(3);
    rig.queue->runPending();

    rig.update(state(PawletKit::Gait::walk));
    rig.update(state(PawletKit::Gait::run));
    EXPECT_TRUE(rig.saveTimesOver(4.5).empty()) << "one save at a time";
    ASSERT_EQ(rig.saves(), 1u);

    // The result comes between two ticks, 4.5 s after the save went out: the newer state follows
    // with it, without waiting for the next tick.
    answers.advance(3);
    rig.queue->runPending();
    EXPECT_EQ(rig.lastLog(), "cloud: published walk/normal busy=1 (first) tag=tag-1");
    ASSERT_EQ(rig.saves(), 2u);
    EXPECT_EQ(rig.lastSaved().gait, PawletShared::Gait::run);
    EXPECT_EQ(rig.publisher->state(), SyncStatus::ready(rig.at(4.5))) << "the status tells when the save succeeded";

    // A result within 2 s of its save: the state handed in meanwhile waits for the first tick at
    // least 2 s after that save went out.
    rig.update(state(PawletKit::Gait::walk));
    answers.advance(3);
    rig.queue->runPending();
    EXPECT_EQ(rig.lastLog(), "cloud: published run/normal busy=1 (changed) tag=tag-2");
    EXPECT_EQ(rig.saveTimesOver(3), (std::vector<double> { 7 }));
    EXPECT_EQ(rig.lastSaved().gait, PawletShared::Gait::walk);
}

TEST(CloudKitPublisher, AnswersThatComeAfterThePublisherHasGoneDoNothing)
{
    Platform::ManualScheduler answers;
    Rig rig(true, true, &answers);
    rig.database->setLatency(3);
    rig.start();
    answers.advance(3);
    rig.queue->runPending();
    rig.update(state(PawletKit::Gait::walk));
    rig.database->fireAccountChange();
    ASSERT_EQ(rig.saves(), 1u);
    rig.publisher.reset();
    EXPECT_EQ(rig.database->accountObservers(), 0u);
    answers.advance(10);
    EXPECT_TRUE(rig.logs.empty());
}

TEST(CloudKitPublisher, StopEndsTheTickAndTheAccountObserver)
{
    Rig rig;
    rig.start();
    EXPECT_EQ(rig.queue->activeTimers(), 1u);
    EXPECT_EQ(rig.database->accountObservers(), 1u);
    rig.publisher->stop();
    EXPECT_EQ(rig.queue->activeTimers(), 0u);
    EXPECT_EQ(rig.database->accountObservers(), 0u);
}

TEST(CloudKitPublisher, StatusChangesReachTheMainThreadInOrderAndOnlyWhenTheyChange)
{
    Rig rig;
    std::vector<SyncStatus> seen;
    rig.publisher->setOnStateChange([&](SyncStatus const& status) { seen.push_back(status); });
    rig.database->scriptAccountStatus(CloudAccountStatus::noAccount);
    rig.start();
    rig.database->scriptAccountStatus(CloudAccountStatus::noAccount);
    rig.database->fireAccountChange();
    rig.queue->runPending();
    EXPECT_TRUE(seen.empty()) << "nothing before the main thread runs";
    rig.mainThread.runPosted();
    EXPECT_EQ(seen, (std::vector<SyncStatus> { SyncStatus::noAccount() }));

    rig.database->fireAccountChange();
    rig.update(state(PawletKit::Gait::walk));
    rig.mainThread.runPosted();
    EXPECT_EQ(seen, (std::vector<SyncStatus> { SyncStatus::noAccount(), SyncStatus::ready(), SyncStatus::ready(rig.date()) }));
}

TEST(CloudKitPublisher, DebugReportTellsTheStateTheAccountAndTheStoredRecord)
{
    Rig rig;
    rig.start();
    rig.update(state(PawletKit::Gait::walk, PawletKit::Mood::hungry, 3));
    auto const published = rig.date();
    rig.logs.clear();
    rig.publisher->debugCloudStatus();
    auto const stored = *rig.database->storedRecord("current");
    auto const jsonBytes = stored.field("json")->asBytes()->size();
    EXPECT_EQ(rig.logs,
        (std::vector<std::string> {
            "debug: cloud publisher state=ready(lastPublished: " + published.iso8601()
                + ") enabled=true entitled=true containers=[\"iCloud.com.ardlow.tailbase\", \"iCloud.other\"] container=iCloud.com.ardlow.tailbase",
            "debug: cloud accountStatus=available",
            "debug: cloud fetch PetStatus/current ok updatedAt=" + published.iso8601() + " jsonBytes=" + std::to_string(jsonBytes)
                + " decoded=walk/hungry busy=3 modified=nil tag=tag-1",
        }));

    rig.logs.clear();
    rig.database->scriptAccountStatus(CloudAccountStatus::noAccount, CloudError::cloud(CloudErrorCode::notAuthenticated, "signed out"));
    rig.database->scriptFetch(std::nullopt, CloudError::cloud(CloudErrorCode::unknownItem, "record not found"));
    rig.publisher->debugCloudStatus();
    ASSERT_EQ(rig.logs.size(), 3u);
    EXPECT_EQ(rig.logs[1], "debug: cloud accountStatus=noAccount error=CKError.notAuthenticated(9): signed out");
    EXPECT_EQ(rig.logs[2], "debug: cloud fetch PetStatus/current failed: CKError.unknownItem(11): record not found");
    EXPECT_EQ(rig.publisher->state(), SyncStatus::ready(published)) << "the report's own query changes nothing";

    Rig unentitled(false, false);
    unentitled.publisher->debugCloudStatus();
    EXPECT_EQ(unentitled.logs,
        (std::vector<std::string> {
            "debug: cloud publisher state=disabledNoEntitlement enabled=false entitled=false containers=[\"iCloud.com.ardlow.tailbase\", "
            "\"iCloud.other\"] container=iCloud.com.ardlow.tailbase",
            "debug: cloud no container (unentitled build) — nothing to fetch",
        }));
}
