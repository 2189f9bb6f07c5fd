#include "PawletKit/tests/TestSupport.hpp"
#include "platform/Base64.hpp"
#include "platform/FakeCloudDatabase.hpp"
#include "platform/LocalCloudDatabase.hpp"
#include "platform/ManualScheduler.hpp"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

using namespace Platform;
using PawletKit::Date;

namespace {

CloudRecord petRecord(std::string json, double updatedAt)
{
    CloudRecord record;
    record.recordType = "PetStatus";
    record.recordName = "current";
    record.setField("json", CloudValue::bytes(std::move(json)));
    record.setField("updatedAt", CloudValue::date(Date::fromSeconds(updatedAt)));
    return record;
}

struct Fetched {
    std::optional<CloudRecord> record;
    std::optional<CloudError> error;
};

Fetched fetch(CloudDatabase& database, std::string const& name)
{
    Fetched fetched;
    database.fetch(name, [&](std::optional<CloudRecord> record, std::optional<CloudError> error) {
        fetched = { std::move(record), std::move(error) };
    });
    return fetched;
}

CloudSaveOutcome save(CloudDatabase& database, CloudRecord record, CloudSavePolicy policy = CloudSavePolicy::changedKeys)
{
    CloudSaveOutcome result;
    database.save(std::move(record), policy, [&](CloudSaveOutcome outcome) { result = std::move(outcome); });
    return result;
}

class LocalCloudDatabaseTest : public ::testing::Test {
protected:
    TestSupport::TemporaryDirectory home;
    std::filesystem::path folder = home.path() / "cloud" / "iCloud.com.example";
    LocalCloudDatabase database { folder };
};

}

TEST(Base64, EncodesAndDecodesCanonicalTextOnly)
{
    struct Case {
        std::string bytes;
        std::string text;
    } const cases[] = {
        { "", "" },
        { "f", "Zg==" },
        { "fo", "Zm8=" },
        { "foo", "Zm9v" },
        { "foob", "Zm9vYg==" },
        { std::string("\0\xff\xfe/+", 5), "AP/+Lys=" },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(Base64::encode(c.bytes), c.text);
        EXPECT_EQ(Base64::decode(c.text), c.bytes) << c.text;
    }
    for (std::string_view bad : { "Zg=", "Zg", "Z===", "Zh==", "Zm9=", "Zm9v!A==", "Zg==Zg==", "====", "Zm 9v" })
        EXPECT_EQ(Base64::decode(bad), std::nullopt) << bad;
}

TEST_F(LocalCloudDatabaseTest, ASavedRecordIsFetchedBackWithAFreshChangeTagPerSave)
{
    EXPECT_EQ(fetch(database, "current").error, CloudError::cloud(CloudErrorCode::unknownItem, "record \"current\" does not exist"));
    auto record = petRecord(R"({"gait":"walk","path":"a\/b"})", 1'700'000'000.25);
    record.setField("note", CloudValue::string("ünï"));
    record.setField("count", CloudValue::number(-0.5));
    auto first = save(database, record);
    ASSERT_TRUE(first.succeeded()) << first.recordError->description;
    ASSERT_TRUE(first.changeTag);
    auto fetched = fetch(database, "current");
    ASSERT_TRUE(fetched.record);
    EXPECT_FALSE(fetched.error);
    EXPECT_EQ(fetched.record->fields, record.fields);
    EXPECT_EQ(fetched.record->recordType, "PetStatus");
    EXPECT_EQ(fetched.record->changeTag, first.changeTag);
    EXPECT_TRUE(fetched.record->modifiedAt);
    EXPECT_EQ(TestSupport::fileMode(folder / "current.json"), 0600u);
    EXPECT_EQ(TestSupport::fileMode(folder), 0700u);

    auto second = save(database, record);
    EXPECT_NE(second.changeTag, first.changeTag);
    EXPECT_EQ(fetch(database, "current").record->changeTag, second.changeTag);
}

TEST_F(LocalCloudDatabaseTest, ChangedKeysKeepOtherFieldsAndTheUnchangedPolicyRefusesAStaleTag)
{
    auto record = petRecord("{}", 1);
    record.setField("extra", CloudValue::string("kept"));
    auto first = save(database, record);
    save(database, petRecord(R"({"gait":"run"})", 2));
    auto merged = fetch(database, "current").record;
    EXPECT_EQ(merged->field("extra")->asString(), "kept");
    EXPECT_EQ(merged->field("json")->asBytes(), R"({"gait":"run"})");

    auto stale = petRecord("{}", 3);
    stale.changeTag = first.changeTag;
    auto refused = save(database, stale, CloudSavePolicy::ifServerRecordUnchanged);
    ASSERT_TRUE(refused.recordError);
    EXPECT_TRUE(refused.recordError->isCloud(CloudErrorCode::serverRecordChanged));
    auto current = petRecord("{}", 3);
    current.changeTag = merged->changeTag;
    EXPECT_TRUE(save(database, current, CloudSavePolicy::ifServerRecordUnchanged).succeeded());
    EXPECT_EQ(fetch(database, "current").record->field("updatedAt")->asDate(), Date::fromSeconds(3));
}

TEST_F(LocalCloudDatabaseTest, RecordsThatCannotBeStoredAreRefusedWithTheirReason)
{
    struct Case {
        char const* name;
        CloudRecord record;
        CloudError::Domain domain;
        int code;
    };
    auto withName = [](std::string name) {
        auto record = petRecord("{}", 1);
        record.recordName = std::move(name);
        return record;
    };
    auto untyped = petRecord("{}", 1);
    untyped.recordType.clear();
    auto notFinite = petRecord("{}", std::numeric_limits<double>::infinity());
    auto notUTF8 = petRecord("{}", 1);
    notUTF8.setField("text", CloudValue::string("\xff"));
    Case const cases[] = {
        { "path in the name", withName("../escape"), CloudError::Domain::cloud, CloudErrorCode::invalidArguments },
        { "hidden name", withName(".lock"), CloudError::Domain::cloud, CloudErrorCode::invalidArguments },
        { "empty name", withName(""), CloudError::Domain::cloud, CloudErrorCode::invalidArguments },
        { "no type", untyped, CloudError::Domain::cloud, CloudErrorCode::invalidArguments },
        { "infinite date", notFinite, CloudError::Domain::cloud, CloudErrorCode::invalidArguments },
        { "text not UTF-8", notUTF8, CloudError::Domain::cloud, CloudErrorCode::invalidArguments },
    };
    for (auto const& c : cases) {
        auto outcome = save(database, c.record);
        ASSERT_TRUE(outcome.recordError) << c.name;
        EXPECT_EQ(outcome.recordError->domain, c.domain) << c.name;
        EXPECT_EQ(outcome.recordError->code, c.code) << c.name;
    }
    EXPECT_FALSE(std::filesystem::exists(home.path() / "cloud" / "escape.json"));

    save(database, petRecord("{}", 1));
    auto otherType = petRecord("{}", 1);
    otherType.recordType = "Other";
    EXPECT_TRUE(save(database, otherType).recordError->isCloud(CloudErrorCode::invalidArguments));
}

TEST_F(LocalCloudDatabaseTest, AFolderThatCannotBeWrittenGivesASystemError)
{
    TestSupport::writeFile(home.path() / "cloud", "a file where the folder belongs");
    auto outcome = save(database, petRecord("{}", 1));
    ASSERT_TRUE(outcome.recordError);
    EXPECT_EQ(outcome.recordError->domain, CloudError::Domain::system);
}

TEST_F(LocalCloudDatabaseTest, AMalformedRecordFileReadsAsADecodeErrorAndIsReplacedByTheNextSave)
{
    std::string const valid = R"({"fields":{"json":{"bytes":"e30="}},"recordName":"current","recordType":"PetStatus"})";
    std::string const cases[] = {
        "",
        "{",
        "[]",
        "null",
        R"({"recordName":"current"})",
        R"({"recordName":"current","recordType":""})",
        R"({"recordName":"other","recordType":"PetStatus"})",
        R"({"recordName":"current","recordType":"PetStatus","fields":[]})",
        R"({"recordName":"current","recordType":"PetStatus","fields":{"json":"e30="}})",
        R"({"recordName":"current","recordType":"PetStatus","fields":{"json":{"bytes":"e30"}}})",
        R"({"recordName":"current","recordType":"PetStatus","fields":{"json":{"bytes":"e30=","date":1}}})",
        R"({"recordName":"current","recordType":"PetStatus","fields":{"when":{"date":"2026-01-01"}}})",
        R"({"recordName":"current","recordType":"PetStatus","fields":{"when":{"number":true}}})",
        R"({"recordName":"current","recordType":"PetStatus","fields":{"when":{"date":1e999}}})",
        R"({"recordName":"current","recordType":"PetStatus","fields":{"x":{"blob":"e30="}}})",
        R"({"recordName":"current","recordType":"PetStatus","changeTag":5})",
        R"({"recordName":"current","recordType":"PetStatus","modifiedAt":"today"})",
        std::string(60, '[') + std::string(60, ']'),
        std::string(2000, '['),
        valid.substr(0, valid.size() / 2),
    };
    for (auto const& bytes : cases) {
        TestSupport::writeFile(folder / "current.json", bytes);
        auto fetched = fetch(database, "current");
        EXPECT_FALSE(fetched.record) << bytes;
        ASSERT_TRUE(fetched.error) << bytes;
        EXPECT_EQ(fetched.error->domain, CloudError::Domain::decoding) << bytes;
    }
    std::filesystem::remove(folder / "current.json");
    std::filesystem::create_directory(folder / "current.json");
    EXPECT_EQ(fetch(database, "current").error->domain, CloudError::Domain::decoding);
    std::filesystem::remove(folder / "current.json");

    TestSupport::writeFile(folder / "current.json", valid);
    EXPECT_EQ(fetch(database, "current").record->field("json")->asBytes(), "{}");
    TestSupport::writeFile(folder / "current.json", "{broken");
    EXPECT_TRUE(save(database, petRecord(R"({"gait":"run"})", 5)).succeeded());
    EXPECT_EQ(fetch(database, "current").record->field("json")->asBytes(), R"({"gait":"run"})");
}

TEST_F(LocalCloudDatabaseTest, SavesFromManyThreadsAllLandAndNeverTear)
{
    // Each thread owns a field; with the changed-keys merge under the lock none of them is lost.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            LocalCloudDatabase own(folder);
            for (int i = 0; i < 25; ++i) {
                CloudRecord record;
                record.recordType = "PetStatus";
                record.recordName = "current";
                record.setField("field" + std::to_string(t), CloudValue::number(i));
                save(own, record);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    auto record = fetch(database, "current").record;
    ASSERT_TRUE(record);
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(record->field("field" + std::to_string(t))->asNumber(), 24.0) << t;
}

TEST(LocalCloudDatabase, TheStoreLivesInTheSupportDirectoryPerContainer)
{
    auto paths = PawletKit::Paths::withBase("/data/Pupnik");
    EXPECT_EQ(LocalCloudDatabase::folderFor(paths, "iCloud.com.ardlow.tailbase"), std::filesystem::path("/data/Pupnik/cloud/iCloud.com.ardlow.tailbase"));
    EXPECT_EQ(LocalCloudDatabase::folderFor(paths, "../x"), std::nullopt);
    EXPECT_EQ(LocalCloudDatabase::folderFor(paths, ""), std::nullopt);
    LocalCloudDatabase database("/nowhere");
    std::optional<CloudAccountStatus> status;
    database.accountStatus([&](CloudAccountStatus answer, std::optional<CloudError>) { status = answer; });
    EXPECT_EQ(status, CloudAccountStatus::available);
}

TEST(LocalCloudDatabase, RecordFilesRoundTrip)
{
    CloudRecord record = petRecord(std::string("\0binary\xff", 8), -1.5);
    record.setField("n", CloudValue::number(1e300));
    record.changeTag = "tag";
    record.modifiedAt = Date::fromSeconds(12.5);
    auto file = LocalCloudDatabase::encodeRecordFile(record);
    ASSERT_TRUE(file);
    EXPECT_EQ(*file,
        R"({"changeTag":"tag","fields":{"json":{"bytes":"AGJpbmFyef8="},"n":{"number":1e+300},"updatedAt":{"date":-1.5}},)"
        R"("modifiedAt":12.5,"recordName":"current","recordType":"PetStatus"})"
        "\n");
    EXPECT_EQ(LocalCloudDatabase::decodeRecordFile(*file), record);
}

TEST(FakeCloudDatabase, ScriptedAnswersComeFirstInOrderThenItsOwnRecords)
{
    FakeCloudDatabase database;
    database.scriptFetch(std::nullopt, CloudError::cloud(CloudErrorCode::networkFailure, "offline"));
    EXPECT_EQ(fetch(database, "current").error->code, CloudErrorCode::networkFailure);
    EXPECT_EQ(fetch(database, "current").error->code, CloudErrorCode::unknownItem);

    database.scriptSave(CloudSaveOutcome { std::nullopt, std::nullopt, CloudError::cloud(CloudErrorCode::partialFailure, "partial") });
    EXPECT_FALSE(save(database, petRecord("{}", 1)).succeeded());
    EXPECT_FALSE(database.storedRecord("current"));
    auto saved = save(database, petRecord("{}", 1));
    EXPECT_TRUE(saved.succeeded());
    EXPECT_EQ(saved.changeTag, "tag-1");
    EXPECT_EQ(fetch(database, "current").record->changeTag, "tag-1");
    ASSERT_EQ(database.saveCalls().size(), 2u);
    EXPECT_EQ(database.saveCalls()[1].policy, CloudSavePolicy::changedKeys);
    EXPECT_EQ(database.fetchCalls(), 3);
}

TEST(FakeCloudDatabase, LatencyHoldsAnswersUntilTheSchedulerGetsThere)
{
    ManualScheduler scheduler;
    FakeCloudDatabase database(&scheduler);
    database.setLatency(3);
    std::optional<CloudAccountStatus> status;
    database.scriptAccountStatus(CloudAccountStatus::noAccount);
    database.accountStatus([&](CloudAccountStatus answer, std::optional<CloudError>) { status = answer; });
    scheduler.advance(2.9);
    EXPECT_FALSE(status);
    scheduler.advance(0.1);
    EXPECT_EQ(status, CloudAccountStatus::noAccount);
}

namespace {

// Waits, within a bound, until the count reaches the wanted value.
bool waitForCount(std::atomic<int> const& count, int wanted)
{
    for (int attempt = 0; attempt < 1000 && count.load() < wanted; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return count.load() >= wanted;
}

}

TEST(LocalCloudDatabase, TheFolderComingAndGoingIsReportedAsAnAccountChangeUntilTheWatchIsDropped)
{
    TestSupport::TemporaryDirectory home;
    auto const folder = home.path() / "cloud" / "iCloud.com.example";
    LocalCloudDatabase database(folder, 0.01);
    std::atomic<int> changes { 0 };
    auto watch = database.observeAccountChanges([&] { ++changes; });

    std::filesystem::create_directories(folder);
    ASSERT_TRUE(waitForCount(changes, 1)) << "the folder appearing";
    std::filesystem::remove_all(folder);
    ASSERT_TRUE(waitForCount(changes, 2)) << "the folder going away";

    watch.reset();
    int const reported = changes.load();
    std::filesystem::create_directories(folder);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(changes.load(), reported) << "nothing after the watch is dropped";
}

TEST(LocalCloudDatabase, AFolderThatStaysAsItIsReportsNothing)
{
    TestSupport::TemporaryDirectory home;
    LocalCloudDatabase database(home.path(), 0.01);
    std::atomic<int> changes { 0 };
    auto watch = database.observeAccountChanges([&] { ++changes; });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(changes.load(), 0);
}

TEST(FakeCloudDatabase, AccountChangesReachOnlyTheObserversStillRegistered)
{
    FakeCloudDatabase database;
    int first = 0;
    int second = 0;
    auto firstWatch = database.observeAccountChanges([&] { ++first; });
    auto secondWatch = database.observeAccountChanges([&] { ++second; });
    database.fireAccountChange();
    secondWatch.reset();
    database.fireAccountChange();
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(database.accountObservers(), 1u);
}
