#include "platform/FakeCloudDatabase.hpp"
#include "platform/ManualScheduler.hpp"
#include "platform/MemoryDefaultsStore.hpp"
#include "shared/CloudKitTransport.hpp"

#include <gtest/gtest.h>
#include <limits>

using namespace PawletShared;
using namespace Platform;
using PawletKit::Date;

namespace PawletShared {
static void PrintTo(TransportAvailability const& availability, std::ostream* out) { *out << availability.description(); }
static void PrintTo(PetSnapshot const& snapshot, std::ostream* out) { *out << snapshot.encoded(); }
}

namespace {

PetSnapshot sample(Gait gait = Gait::walk, double seconds = 1'700'000'000)
{
    PetSnapshot snapshot;
    snapshot.gait = gait;
    snapshot.intensity = 0.5;
    snapshot.sourceCounts = { { "claude", 1 } };
    snapshot.updatedAt = Date::fromSeconds(seconds);
    return snapshot;
}

CloudRecord recordWithJSON(std::string const& json)
{
    CloudRecord record;
    record.recordType = "PetStatus";
    record.recordName = "current";
    record.setField("json", CloudValue::bytes(json));
    return record;
}

const auto available = TransportAvailability::available();

class CloudKitTransportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        transport = std::make_unique<CloudKitTransport>(database, defaults, scheduler);
        transport->onSnapshot = [this](PetSnapshot const& snapshot) { delivered.push_back(snapshot); };
        transport->onAvailability = [this](TransportAvailability const& availability) { reports.push_back(availability); };
    }
    void start()
    {
        transport->start();
        scheduler.runPosted();
    }
    void poll() { scheduler.advance(CloudKitTransport::pollInterval); }

    ManualScheduler scheduler;
    std::shared_ptr<FakeCloudDatabase> database = std::make_shared<FakeCloudDatabase>(&scheduler);
    MemoryDefaultsStore defaults;
    std::unique_ptr<CloudKitTransport> transport;
    std::vector<PetSnapshot> delivered;
    std::vector<TransportAvailability> reports;
};

}

TEST_F(CloudKitTransportTest, AnAccountThatIsNotAvailableIsReportedAndAskedForAgainInsteadOfFetching)
{
    struct Case {
        CloudAccountStatus status;
        char const* reason;
    } const cases[] = {
        { CloudAccountStatus::couldNotDetermine, "couldNotDetermine" },
        { CloudAccountStatus::restricted, "restricted" },
        { CloudAccountStatus::noAccount, "noAccount" },
        { CloudAccountStatus::temporarilyUnavailable, "temporarilyUnavailable" },
        { static_cast<CloudAccountStatus>(7), "unknown" },
    };
    for (auto const& c : cases) {
        database = std::make_shared<FakeCloudDatabase>(&scheduler);
        reports.clear();
        SetUp();
        database->scriptAccountStatus(c.status, CloudError::cloud(CloudErrorCode::internalError, "account service down"));
        database->scriptAccountStatus(c.status);
        testing::internal::CaptureStderr();
        start();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Pupnik] cloudkit: accountStatus: account service down\n") << c.reason;
        EXPECT_EQ(reports, std::vector { TransportAvailability::unavailable(c.reason) }) << c.reason;
        EXPECT_EQ(transport->accountAvailable(), false);
        testing::internal::CaptureStderr();
        poll();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.reason << ": an answer without an error logs nothing";
        EXPECT_EQ(database->accountStatusCalls(), 2) << c.reason;
        EXPECT_EQ(database->fetchCalls(), 0) << c.reason;
        EXPECT_TRUE(database->subscriptionCalls().empty());
        transport->stop();
    }
}

TEST_F(CloudKitTransportTest, EveryFetchErrorGivesItsAvailabilityAndDecidesWhatTheNextRefreshDoes)
{
    struct Case {
        CloudError error;
        TransportAvailability expected;
        bool refetchesNext; // otherwise the account is asked again first
        // Only the errors that are reported as "error" are logged.
        bool logged;
    };
    Case const cases[] = {
        { CloudError::cloud(CloudErrorCode::networkUnavailable, "offline"), TransportAvailability::unavailable("network"), true, false },
        { CloudError::cloud(CloudErrorCode::networkFailure, "reset"), TransportAvailability::unavailable("network"), true, false },
        { CloudError::cloud(CloudErrorCode::serviceUnavailable, "down"), TransportAvailability::unavailable("network"), true, false },
        { CloudError::cloud(CloudErrorCode::requestRateLimited, "slow down"), TransportAvailability::unavailable("network"), true, false },
        { CloudError::cloud(CloudErrorCode::zoneBusy, "busy"), TransportAvailability::unavailable("network"), true, false },
        { CloudError::cloud(CloudErrorCode::notAuthenticated, "signed out"), TransportAvailability::unavailable("notAuthenticated"), false,
            false },
        { CloudError::cloud(CloudErrorCode::unknownItem, "no record"), available, true, false },
        { CloudError::cloud(CloudErrorCode::internalError, "oops"), TransportAvailability::unavailable("error"), true, true },
        { CloudError::cloud(CloudErrorCode::serverRecordChanged, "conflict"), TransportAvailability::unavailable("error"), true, true },
        { CloudError::cloud(CloudErrorCode::serverRejectedRequest, "rejected"), TransportAvailability::unavailable("error"), true, true },
        { CloudError::system(EACCES, "permission denied"), TransportAvailability::unavailable("error"), true, true },
        { CloudError::decoding("torn record"), TransportAvailability::unavailable("error"), true, true },
    };
    for (auto const& c : cases) {
        database = std::make_shared<FakeCloudDatabase>(&scheduler);
        reports.clear();
        SetUp();
        database->scriptFetch(std::nullopt, c.error);
        testing::internal::CaptureStderr();
        start();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.logged ? "[Pupnik] cloudkit: fetch: " + c.error.description + "\n" : "")
            << c.error.description;
        EXPECT_EQ(reports, (std::vector { available, c.expected })) << c.error.description;
        poll();
        // Signed out: the next refresh asks for the account first, and fetches once it is available.
        EXPECT_EQ(database->accountStatusCalls(), c.refetchesNext ? 1 : 2) << c.error.description;
        EXPECT_EQ(database->fetchCalls(), 2) << c.error.description;
        EXPECT_TRUE(delivered.empty());
        transport->stop();
    }
}

TEST_F(CloudKitTransportTest, ARecordThatComesWithAnErrorIsStillDelivered)
{
    database->scriptFetch(CloudKitTransport::record(sample()), CloudError::cloud(CloudErrorCode::networkFailure, "partial"));
    start();
    EXPECT_EQ(delivered, std::vector { sample() });
    EXPECT_EQ(reports, (std::vector { available, available }));
}

TEST_F(CloudKitTransportTest, TheSameRecordIsDeliveredOnceAndAvailabilityReportedEveryTime)
{
    database->putRecord(CloudKitTransport::record(sample()));
    start();
    poll();
    poll();
    EXPECT_EQ(delivered, std::vector { sample() });
    EXPECT_EQ(reports, std::vector<TransportAvailability>(4, available));
    database->putRecord(CloudKitTransport::record(sample(Gait::run)));
    poll();
    EXPECT_EQ(delivered, (std::vector { sample(), sample(Gait::run) }));
}

TEST_F(CloudKitTransportTest, TheRecordsTimeFieldWinsAndItsChangeAloneDeliversAgain)
{
    auto record = CloudKitTransport::record(sample());
    record.setField("updatedAt", CloudValue::date(Date::fromSeconds(1'750'000'000)));
    database->putRecord(record);
    start();
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].updatedAt, Date::fromSeconds(1'750'000'000));
    record.setField("updatedAt", CloudValue::date(Date::fromSeconds(1'750'000'001)));
    database->putRecord(record);
    poll();
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[1].updatedAt, Date::fromSeconds(1'750'000'001));

    // A time field of another kind leaves the time inside the JSON.
    record.setField("updatedAt", CloudValue::string("2026-01-01T00:00:00Z"));
    database->putRecord(record);
    poll();
    ASSERT_EQ(delivered.size(), 3u);
    EXPECT_EQ(delivered[2].updatedAt, Date::fromSeconds(1'700'000'000));
}

TEST_F(CloudKitTransportTest, ARecordWithoutAnyTimeIsNotDeliveredAgainOnEveryPoll)
{
    database->putRecord(recordWithJSON(R"({"gait":"walk"})"));
    start();
    poll();
    poll();
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].gait, Gait::walk);
    EXPECT_EQ(reports.size(), 4u);

    database->putRecord(recordWithJSON(R"({"gait":"run"})"));
    poll();
    poll();
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[1].gait, Gait::run);

    // The same content with a real time is news again.
    auto timed = recordWithJSON(R"({"gait":"run"})");
    timed.setField("updatedAt", CloudValue::date(Date::fromSeconds(1'700'000'000)));
    database->putRecord(timed);
    poll();
    poll();
    EXPECT_EQ(delivered.size(), 3u);
}

TEST_F(CloudKitTransportTest, ARecordThatDoesNotReadIsSkippedSilently)
{
    CloudRecord noJSON;
    noJSON.recordType = "PetStatus";
    noJSON.recordName = "current";
    CloudRecord jsonAsText = noJSON;
    jsonAsText.setField("json", CloudValue::string(sample().encoded()));
    for (auto const& record : { recordWithJSON("{not json"), recordWithJSON(R"("a string")"), recordWithJSON(R"({"gait":5})"), noJSON, jsonAsText }) {
        database = std::make_shared<FakeCloudDatabase>(&scheduler);
        reports.clear();
        SetUp();
        database->putRecord(record);
        start();
        EXPECT_TRUE(delivered.empty());
        EXPECT_EQ(reports, std::vector { available }) << "only the account is reported";
        transport->stop();
    }
}

TEST_F(CloudKitTransportTest, TheSubscriptionIsSavedUntilTheServerHasIt)
{
    struct Case {
        std::optional<CloudError> answer;
        bool flagged;
    };
    Case const cases[] = {
        { std::nullopt, true },
        { CloudError::cloud(CloudErrorCode::serverRejectedRequest, "exists"), true },
        { CloudError::cloud(CloudErrorCode::networkFailure, "offline"), false },
        { CloudError::system(EIO, "disk"), false },
    };
    for (auto const& c : cases) {
        database = std::make_shared<FakeCloudDatabase>(&scheduler);
        defaults = MemoryDefaultsStore();
        SetUp();
        database->scriptSubscription(c.answer);
        testing::internal::CaptureStderr();
        start();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.answer ? "[Pupnik] cloudkit: subscription: " + c.answer->description + "\n" : "");
        ASSERT_EQ(database->subscriptionCalls().size(), 1u);
        EXPECT_EQ(database->subscriptionCalls()[0], (CloudSubscription { "petstatus-current-v1", "PetStatus", 3 }));
        EXPECT_EQ(defaults.boolean(CloudKitTransport::subscriptionFlagKey), c.flagged ? std::optional(true) : std::nullopt);

        // The step comes again at the next available account, only while the flag is missing.
        database->scriptFetch(std::nullopt, CloudError::cloud(CloudErrorCode::notAuthenticated, "signed out"));
        poll();
        poll();
        EXPECT_EQ(database->subscriptionCalls().size(), c.flagged ? 1u : 2u);
        transport->stop();
    }
}

TEST_F(CloudKitTransportTest, StopEndsPollingAndARestartDoesNotRedeliver)
{
    database->putRecord(CloudKitTransport::record(sample()));
    start();
    transport->stop();
    EXPECT_FALSE(transport->isRunning());
    poll();
    poll();
    EXPECT_EQ(database->fetchCalls(), 1);
    start();
    poll();
    EXPECT_EQ(delivered.size(), 1u);
    EXPECT_EQ(database->accountStatusCalls(), 2);
    EXPECT_EQ(database->fetchCalls(), 3);
}

TEST_F(CloudKitTransportTest, AnswersForATransportThatIsGoneAreDropped)
{
    database->setLatency(1.0);
    database->putRecord(CloudKitTransport::record(sample()));
    transport->start();
    transport.reset();
    scheduler.advance(5);
    EXPECT_EQ(database->accountStatusCalls(), 1);
    EXPECT_TRUE(reports.empty());

    // With the transport alive, the same latency only delays the answers.
    SetUp();
    transport->start();
    scheduler.runPosted();
    EXPECT_TRUE(reports.empty());
    scheduler.advance(2);
    EXPECT_EQ(delivered, std::vector { sample() });
}

TEST_F(CloudKitTransportTest, AnObserverMayDropTheTransportWhileItIsTold)
{
    database->putRecord(CloudKitTransport::record(sample()));
    transport->onSnapshot = [this](PetSnapshot const& snapshot) {
        delivered.push_back(snapshot);
        transport.reset();
    };
    start();
    EXPECT_EQ(delivered.size(), 1u);
    EXPECT_FALSE(transport);

    SetUp();
    transport->onAvailability = [this](TransportAvailability const&) { transport.reset(); };
    int fetchesBefore = database->fetchCalls();
    start();
    EXPECT_FALSE(transport);
    EXPECT_EQ(database->fetchCalls(), fetchesBefore) << "nothing runs for a transport that is gone";
}

TEST(CloudKitTransport, TheRecordCarriesTheEncodedSnapshotAndItsTime)
{
    auto snapshot = sample();
    snapshot.updatedAt = Date::fromSeconds(1'700'000'000.7);
    auto record = CloudKitTransport::record(snapshot);
    EXPECT_EQ(record.recordType, "PetStatus");
    EXPECT_EQ(record.recordName, "current");
    EXPECT_EQ(record.field("json")->asBytes(), snapshot.encoded());
    EXPECT_EQ(record.field("updatedAt")->asDate(), snapshot.updatedAt);
    // The field keeps the exact time, the JSON whole seconds; the field wins on reading.
    EXPECT_EQ(CloudKitTransport::snapshot(record), snapshot);
}

TEST(CloudKitTransport, ASnapshotThatCannotBeEncodedMakesNoRecord)
{
    auto snapshot = sample();
    snapshot.intensity = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW((void)CloudKitTransport::record(snapshot), PetSnapshot::EncodingError);
}
