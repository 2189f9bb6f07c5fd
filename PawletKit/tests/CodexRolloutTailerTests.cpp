#include "PawletKit/CodexRolloutTailer.hpp"

#include "TestSupport.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using namespace PawletKit;
using TestSupport::appendFile;
using TestSupport::writeFile;
namespace fs = std::filesystem;

namespace {

// 2026-03-07T12:00:00Z
constexpr double noon = 1772884800;

// A record whose event carries `marker` as its time, so the events name the lines they came from.
std::string line(int marker, size_t padding = 0)
{
    return R"({"type":"event_msg","timestamp":)" + std::to_string(marker) + R"(,"pad":")" + std::string(padding, 'p')
        + R"(","payload":{"type":"task_started"}})" + "\n";
}

std::vector<int> markers(std::vector<SpoolEvent> const& events)
{
    std::vector<int> result;
    for (auto const& event : events)
        result.push_back(static_cast<int>(event.ts));
    return result;
}

void setModificationTime(fs::path const& path, double epochSeconds)
{
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(epochSeconds);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class Follower : public ::testing::Test {
protected:
    TestSupport::TemporaryDirectory temporary;
    fs::path base = temporary.path() / "sessions";
    fs::path today = base / "2026" / "03" / "07";

    std::unique_ptr<CodexRolloutTailer> makeTailer(CodexRolloutTailer::Config config = {}, int64_t zoneOffset = 0)
    {
        return std::make_unique<CodexRolloutTailer>(base, config, CodexRolloutTailer::fixedOffsetCalendar(zoneOffset),
            [] { return Date::fromSeconds(noon); });
    }
    // A file as it stands when the follower starts: written shortly before `noon` unless said otherwise.
    static void writeBeforeStart(fs::path const& path, std::string const& bytes, double modified = noon - 60)
    {
        writeFile(path, bytes);
        setModificationTime(path, modified);
    }
    static std::vector<SpoolEvent> poll(CodexRolloutTailer& tailer, double t) { return tailer.poll(Date::fromSeconds(t)); }
};

}

TEST(CodexRolloutTailerNames, SessionIdFromFileName)
{
    struct Case {
        char const* fileName;
        char const* expected;
    };
    Case const cases[] = {
        { "rollout-abc-0194a1b2-c3d4-e5f6-a7b8-c9d0e1f2a3b4.jsonl", "codex:0194a1b2-c3d4-e5f6-a7b8-c9d0e1f2a3b4" },
        { "rollout-2026-03-07T10-00-00-0194A1B2-C3D4-E5F6-A7B8-C9D0E1F2A3B4.jsonl", "codex:0194A1B2-C3D4-E5F6-A7B8-C9D0E1F2A3B4" },
        { "rollout-0194a1b2-c3d4-e5f6-a7b8-c9d0e1f2a3b4.jsonl", "codex:0194a1b2-c3d4-e5f6-a7b8-c9d0e1f2a3b4" },
        { "rollout-abc-0194a1b2-c3d4-e5f6-a7b8-c9d0e1f2a3bg.jsonl", "codex:abc-0194a1b2-c3d4-e5f6-a7b8-c9d0e1f2a3bg" },
        { "rollout-abc-0194a1b2xc3d4-e5f6-a7b8-c9d0e1f2a3b4.jsonl", "codex:abc-0194a1b2xc3d4-e5f6-a7b8-c9d0e1f2a3b4" },
        { "rollout-abc.jsonl", "codex:abc" },
        { "rollout-test.jsonl", "codex:test" },
        { "rollout-.jsonl", "codex:" },
        { "rollout-bad-\xff.jsonl", "codex:bad-\xef\xbf\xbd" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(CodexRolloutTailer::sessionId(c.fileName), c.expected) << c.fileName;
}

TEST(CodexRolloutTailerNames, DayFolderFollowsTheZone)
{
    CodexRolloutTailer utc("/s", {}, CodexRolloutTailer::fixedOffsetCalendar(0), Date::now);
    CodexRolloutTailer east("/s", {}, CodexRolloutTailer::fixedOffsetCalendar(2 * 3600), Date::now);
    CodexRolloutTailer west("/s", {}, CodexRolloutTailer::fixedOffsetCalendar(-13 * 3600), Date::now);
    CodexRolloutTailer broken(
        "/s", {}, [](double) { return std::nullopt; }, Date::now);
    Date const lateEvening = Date::fromSeconds(noon + 10.5 * 3600); // 22:30 UTC
    EXPECT_EQ(utc.dayDirectory(lateEvening), "/s/2026/03/07");
    EXPECT_EQ(east.dayDirectory(lateEvening), "/s/2026/03/08");
    EXPECT_EQ(west.dayDirectory(lateEvening), "/s/2026/03/07");
    EXPECT_EQ(west.dayDirectory(Date::fromSeconds(noon)), "/s/2026/03/06");
    EXPECT_EQ(utc.dayDirectory(Date::fromSeconds(0)), "/s/1970/01/01");
    EXPECT_EQ(broken.dayDirectory(lateEvening), "/s/0000/00/00");
}

TEST_F(Follower, StatusTextAndCounters)
{
    auto tailer = makeTailer();
    EXPECT_EQ(tailer->statusText(), "0 files tracked (0 dormant), 0 bytes read, 0 events (last never), 0 dropped lines");
    writeBeforeStart(today / "rollout-a.jsonl", line(1) + "garbage\n" + line(2));
    writeBeforeStart(base / "2020" / "01" / "01" / "rollout-old.jsonl", line(3), noon - 86400 * 30);
    tailer->start(Date::fromSeconds(noon));
    auto events = poll(*tailer, noon + 0.4);
    EXPECT_EQ(markers(events), (std::vector<int> { 1, 2 }));
    EXPECT_EQ(events[0].sid, "codex:a");
    EXPECT_EQ(tailer->trackedPaths(), (std::vector<std::string> { (today / "rollout-a.jsonl").string() }));
    auto const size = fs::file_size(today / "rollout-a.jsonl");
    EXPECT_EQ(tailer->statusText(),
        "1 files tracked (1 dormant), " + std::to_string(size) + " bytes read, 2 events (last 1772884800), 1 dropped lines");
    EXPECT_EQ(tailer->lastEventAt(), Date::fromSeconds(noon + 0.4));
}

TEST_F(Follower, PassesAreSpacedByThePollInterval)
{
    fs::create_directories(today);
    auto tailer = makeTailer();
    tailer->start(Date::fromSeconds(noon));
    EXPECT_TRUE(poll(*tailer, noon).empty());
    writeFile(today / "rollout-a.jsonl", line(1));
    EXPECT_TRUE(poll(*tailer, noon + 0.5).empty());
    EXPECT_EQ(tailer->bytesRead(), 0);
    EXPECT_EQ(tailer->trackedFileCount(), 0u);
    EXPECT_EQ(markers(poll(*tailer, noon + 1.0)), (std::vector<int> { 1 }));
    appendFile(today / "rollout-a.jsonl", line(2));
    // A clock that went back always gives a pass.
    EXPECT_EQ(markers(poll(*tailer, noon - 60)), (std::vector<int> { 2 }));
}

TEST_F(Follower, StartReplaysRecentTailsAndLeavesOldFilesDormant)
{
    // 1 MiB of 128-byte lines, modified 10 minutes ago: only the last 256 KiB come back, from the
    // first line that starts inside them.
    std::string big;
    int count = 0;
    while (big.size() < 1024 * 1024)
        big += line(1000 + count++, 128 - line(1000).size());
    writeBeforeStart(today / "rollout-big.jsonl", big, noon - 600);
    // 100 KiB, 10 minutes ago: all of it.
    std::string medium;
    for (int i = 0; medium.size() < 100 * 1024; ++i)
        medium += line(5000 + i, 100);
    writeBeforeStart(today / "rollout-medium.jsonl", medium, noon - 600);
    // Three hours ago: open at its end, dormant after the first pass.
    writeBeforeStart(today / "rollout-quiet.jsonl", line(7), noon - 3 * 3600);
    // Seven hours ago: dormant at once.
    writeBeforeStart(today / "rollout-stale.jsonl", line(8), noon - 7 * 3600);
    // Modified in the future: open at its end.
    writeBeforeStart(today / "rollout-future.jsonl", line(9), noon + 3600);
    // Empty and recent: everything appended later is read.
    writeBeforeStart(today / "rollout-empty.jsonl", "");
    // Any three-level layout is scanned at start.
    writeBeforeStart(base / "x" / "y" / "z" / "rollout-elsewhere.jsonl", line(10));
    writeBeforeStart(base / "x" / "y" / "z" / "notes.jsonl", line(11));

    auto tailer = makeTailer();
    tailer->start(Date::fromSeconds(noon));
    EXPECT_TRUE(tailer->started());
    EXPECT_EQ(tailer->trackedFileCount(), 6u);
    EXPECT_EQ(tailer->dormantFileCount(), 1u);
    EXPECT_EQ(tailer->bytesRead(), 0);

    auto events = poll(*tailer, noon);
    size_t const tailStart = big.size() - 262144;
    size_t const firstWhole = big.find('\n', tailStart) + 1;
    int const firstMarker = 1000 + static_cast<int>(firstWhole / 128);
    std::vector<int> expected;
    for (int marker = firstMarker; marker < 1000 + count; ++marker)
        expected.push_back(marker);
    for (int i = 0; 5000 + i < 5000 + static_cast<int>(medium.size() / line(5000, 100).size()); ++i)
        expected.push_back(5000 + i);
    expected.push_back(10);
    EXPECT_EQ(markers(events), expected);
    EXPECT_EQ(tailer->bytesRead(), static_cast<int64_t>(262144 + medium.size() + line(10).size()));
    EXPECT_EQ(tailer->trackedFileCount(), 5u);
    EXPECT_EQ(tailer->dormantFileCount(), 2u);

    appendFile(today / "rollout-quiet.jsonl", line(17));
    appendFile(today / "rollout-future.jsonl", line(19));
    appendFile(today / "rollout-empty.jsonl", line(20));
    EXPECT_EQ(markers(poll(*tailer, noon + 1)), (std::vector<int> { 20, 19, 17 }));
    EXPECT_EQ(tailer->dormantFileCount(), 1u);

    // The replayed tail is old content: the big file has been idle since its modification time.
    auto const bigPath = (today / "rollout-big.jsonl").string();
    poll(*tailer, noon - 600 + 7200 + 1);
    auto paths = tailer->trackedPaths();
    EXPECT_EQ(std::count(paths.begin(), paths.end(), bigPath), 0);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), (today / "rollout-medium.jsonl").string()), 0);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), (today / "rollout-empty.jsonl").string()), 1);
}

TEST_F(Follower, FilesFoundAfterStartAreReplayedOnlyWhenSmall)
{
    fs::create_directories(today);
    auto tailer = makeTailer();
    tailer->start(Date::fromSeconds(noon));
    std::string small;
    std::vector<int> expected { 600 };
    for (int i = 1000; small.size() < 100 * 1024; ++i) {
        small += line(i, 100);
        expected.push_back(i);
    }
    std::string large;
    for (int i = 1000; large.size() < 300 * 1024; ++i)
        large += line(i, 100);
    writeFile(today / "rollout-small.jsonl", small);
    writeFile(today / "rollout-large.jsonl", large);
    writeFile(base / "2026" / "03" / "06" / "rollout-yesterday.jsonl", line(600));
    writeFile(base / "2026" / "03" / "05" / "rollout-older.jsonl", line(700));
    EXPECT_EQ(markers(poll(*tailer, noon)), expected);
    EXPECT_EQ(tailer->trackedFileCount(), 3u);
    appendFile(today / "rollout-large.jsonl", line(800));
    appendFile(base / "2026" / "03" / "05" / "rollout-older.jsonl", line(701));
    EXPECT_EQ(markers(poll(*tailer, noon + 1)), (std::vector<int> { 800 }));
}

TEST_F(Follower, MissingSessionsFolderAtStart)
{
    auto tailer = makeTailer();
    EXPECT_FALSE(tailer->isAvailable());
    tailer->start(Date::fromSeconds(noon));
    EXPECT_TRUE(tailer->started());
    EXPECT_TRUE(poll(*tailer, noon).empty());
    writeFile(today / "rollout-a.jsonl", line(1));
    writeFile(base / "2026" / "02" / "01" / "rollout-b.jsonl", line(2));
    EXPECT_TRUE(tailer->isAvailable());
    EXPECT_EQ(markers(poll(*tailer, noon + 1)), (std::vector<int> { 1 }));
    EXPECT_EQ(tailer->trackedFileCount(), 1u);
}

TEST_F(Follower, GrowingDormantWakingAndDeleted)
{
    fs::path const path = today / "rollout-a.jsonl";
    writeBeforeStart(path, line(1));
    auto tailer = makeTailer();
    tailer->start(Date::fromSeconds(noon));
    EXPECT_EQ(markers(poll(*tailer, noon)), (std::vector<int> { 1 }));
    appendFile(path, line(2) + line(3));
    EXPECT_EQ(markers(poll(*tailer, noon + 10)), (std::vector<int> { 2, 3 }));
    // Idle for longer than two hours: closed and remembered.
    EXPECT_TRUE(poll(*tailer, noon + 10 + 7201).empty());
    EXPECT_EQ(tailer->trackedFileCount(), 0u);
    EXPECT_EQ(tailer->dormantFileCount(), 1u);
    EXPECT_TRUE(poll(*tailer, noon + 10 + 7300).empty());
    EXPECT_EQ(tailer->dormantFileCount(), 1u);
    // Growth wakes it where it was left.
    appendFile(path, line(4));
    EXPECT_EQ(markers(poll(*tailer, noon + 10 + 7400)), (std::vector<int> { 4 }));
    EXPECT_EQ(tailer->trackedFileCount(), 1u);
    EXPECT_EQ(tailer->dormantFileCount(), 0u);
    // A dormant file that shrank is followed from its new end.
    EXPECT_TRUE(poll(*tailer, noon + 20000).empty());
    EXPECT_EQ(tailer->dormantFileCount(), 1u);
    fs::resize_file(path, line(1).size());
    EXPECT_TRUE(poll(*tailer, noon + 20001).empty());
    appendFile(path, line(5));
    EXPECT_EQ(markers(poll(*tailer, noon + 20002)), (std::vector<int> { 5 }));
    // A deleted dormant file is forgotten.
    EXPECT_TRUE(poll(*tailer, noon + 30000).empty());
    EXPECT_EQ(tailer->dormantFileCount(), 1u);
    fs::remove(path);
    EXPECT_TRUE(poll(*tailer, noon + 30001).empty());
    EXPECT_EQ(tailer->dormantFileCount(), 0u);
    EXPECT_EQ(tailer->trackedFileCount(), 0u);
}

TEST_F(Follower, PartialLastLineIsEmittedWholeOnceComplete)
{
    fs::path const path = today / "rollout-a.jsonl";
    writeBeforeStart(path, "");
    auto tailer = makeTailer();
    tailer->start(Date::fromSeconds(noon));
    std::string const second = line(2);
    appendFile(path, line(1) + second.substr(0, 20));
    EXPECT_EQ(markers(poll(*tailer, noon)), (std::vector<int> { 1 }));
    EXPECT_TRUE(poll(*tailer, noon + 1).empty());
    appendFile(path, second.substr(20, second.size() - 21));
    EXPECT_TRUE(poll(*tailer, noon + 2).empty());
    appendFile(path, "\n\n\n" + line(3));
    EXPECT_EQ(markers(poll(*tailer, noon + 3)), (std::vector<int> { 2, 3 }));
    EXPECT_EQ(tailer->droppedLines(), 0);
}

TEST_F(Follower, OverlongLineIsDroppedOnceAndSkippedAcrossPasses)
{
    CodexRolloutTailer::Config config;
    config.maxLineBytes = 1000;
    fs::path const path = today / "rollout-a.jsonl";
    writeBeforeStart(path, "");
    auto tailer = makeTailer(config);
    tailer->start(Date::fromSeconds(noon));
    appendFile(path, line(1) + std::string(2500, 'x'));
    EXPECT_EQ(markers(poll(*tailer, noon)), (std::vector<int> { 1 }));
    EXPECT_EQ(tailer->droppedLines(), 0);
    EXPECT_TRUE(poll(*tailer, noon + 1).empty());
    EXPECT_EQ(tailer->droppedLines(), 1);
    appendFile(path, std::string(200, 'x') + "\n" + line(2));
    EXPECT_TRUE(poll(*tailer, noon + 2).empty());
    EXPECT_EQ(markers(poll(*tailer, noon + 3)), (std::vector<int> { 2 }));
    EXPECT_EQ(tailer->droppedLines(), 1);
    // A whole line of exactly the limit without its break is overlong too; one just below is not.
    std::string const fits = line(3, 1000 - line(3).size());
    ASSERT_EQ(fits.size(), 1000u);
    appendFile(path, fits);
    EXPECT_EQ(markers(poll(*tailer, noon + 4)), (std::vector<int> { 3 }));
    std::string const tooLong = line(4, 1001 - line(4).size());
    appendFile(path, tooLong + line(5));
    EXPECT_TRUE(poll(*tailer, noon + 5).empty());
    EXPECT_EQ(tailer->droppedLines(), 2);
    EXPECT_EQ(markers(poll(*tailer, noon + 6)), (std::vector<int> { 5 }));
}

TEST_F(Follower, TruncatedFileIsFollowedFromItsNewSize)
{
    fs::path const path = today / "rollout-a.jsonl";
    writeBeforeStart(path, line(1) + line(2));
    auto tailer = makeTailer();
    tailer->start(Date::fromSeconds(noon));
    EXPECT_EQ(markers(poll(*tailer, noon)), (std::vector<int> { 1, 2 }));
    fs::resize_file(path, line(1).size());
    EXPECT_TRUE(poll(*tailer, noon + 1).empty());
    appendFile(path, line(3));
    EXPECT_EQ(markers(poll(*tailer, noon + 2)), (std::vector<int> { 3 }));
}

TEST_F(Follower, EventsComeInPathOrder)
{
    writeBeforeStart(today / "rollout-b.jsonl", "");
    writeBeforeStart(today / "rollout-a.jsonl", "");
    auto tailer = makeTailer();
    tailer->start(Date::fromSeconds(noon));
    appendFile(today / "rollout-b.jsonl", line(20) + line(21));
    appendFile(today / "rollout-a.jsonl", line(10) + line(11));
    auto events = poll(*tailer, noon);
    EXPECT_EQ(markers(events), (std::vector<int> { 10, 11, 20, 21 }));
    EXPECT_EQ(events[0].sid, "codex:a");
    EXPECT_EQ(events[2].sid, "codex:b");
}

TEST_F(Follower, MidnightMovesDiscoveryToTheNewDayFolder)
{
    // Two hours east of UTC: 21:59:30 UTC is 23:59:30 local on the 7th.
    double const beforeMidnight = noon + 9 * 3600 + 59 * 60 + 30;
    fs::path const day7 = base / "2026" / "03" / "07";
    fs::path const day8 = base / "2026" / "03" / "08";
    fs::path const day9 = base / "2026" / "03" / "09";
    writeBeforeStart(day7 / "rollout-evening.jsonl", "", beforeMidnight - 60);
    auto tailer = makeTailer({}, 2 * 3600);
    tailer->start(Date::fromSeconds(beforeMidnight));
    writeFile(day8 / "rollout-early.jsonl", line(1));
    EXPECT_TRUE(poll(*tailer, beforeMidnight).empty());
    appendFile(day7 / "rollout-evening.jsonl", line(2));
    writeFile(day7 / "rollout-late.jsonl", line(3));
    EXPECT_EQ(markers(poll(*tailer, beforeMidnight + 60)), (std::vector<int> { 2, 3, 1 }));
    // A day later only the 8th and the 9th are searched.
    writeFile(day7 / "rollout-too-late.jsonl", line(4));
    writeFile(day9 / "rollout-next.jsonl", line(5));
    appendFile(day7 / "rollout-evening.jsonl", line(6));
    EXPECT_EQ(markers(poll(*tailer, beforeMidnight + 86400 + 60)), (std::vector<int> { 6, 5 }));
}

// Editors, sync tools and restores write a transcript anew and rename it over the old one: the same
// path names a new file. When it begins with what was read, reading goes on where it stopped;
// anything else is a newly found file, replayed only when small.
TEST_F(Follower, AFileRenamedOverTheTranscriptIsReadOnlyPastWhatWasRead)
{
    std::string const records = line(1) + line(2) + line(3) + line(4) + line(5);
    std::string large;
    for (int i = 100; large.size() <= 300 * 1024; ++i)
        large += line(i, 100);
    struct Case {
        char const* name;
        std::string replacement;
        std::vector<int> expected;
    } const cases[] = {
        { "the same records", records, {} },
        { "one record appended", records + line(6), { 6 } },
        { "other records, small", line(10) + line(11), { 10, 11 } },
        { "the first record changed", line(9) + line(2) + line(3) + line(4) + line(5) + line(6), { 9, 2, 3, 4, 5, 6 } },
        { "shorter than what was read", line(1) + line(2), { 1, 2 } },
        { "other records, large", large, {} },
    };
    for (bool const resting : { false, true }) {
        for (auto const& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (resting ? ", while the file rests" : ""));
            TestSupport::TemporaryDirectory folder;
            fs::path const day = folder.path() / "2026" / "03" / "07";
            fs::path const path = day / "rollout-a.jsonl";
            writeBeforeStart(path, records);
            CodexRolloutTailer tailer(folder.path(), {}, CodexRolloutTailer::fixedOffsetCalendar(0), [] { return Date::fromSeconds(noon); });
            tailer.start(Date::fromSeconds(noon));
            ASSERT_EQ(markers(poll(tailer, noon)), (std::vector<int> { 1, 2, 3, 4, 5 }));
            double t = noon + 1;
            if (resting) {
                t = noon + 8000;
                EXPECT_TRUE(poll(tailer, t).empty());
                ASSERT_EQ(tailer.dormantFileCount(), 1u);
            }
            // Made before the old one goes, so the file system cannot hand the new file the old inode.
            writeFile(day / ".rollout-a.tmp", c.replacement);
            fs::rename(day / ".rollout-a.tmp", path);
            // A resting file is looked at again only once its size differs.
            if (resting && c.replacement.size() == records.size())
                appendFile(path, line(8));
            auto expected = c.expected;
            if (resting && c.replacement.size() == records.size())
                expected.push_back(8);
            EXPECT_EQ(markers(poll(tailer, t + 1)), expected);
            // Followed on from there.
            appendFile(path, line(20));
            EXPECT_EQ(markers(poll(tailer, t + 2)), (std::vector<int> { 20 }));
        }
    }
}

// Files found after start: up to exactly 256 KiB they are read whole, past it only from their end.
TEST_F(Follower, NewFileReplayStopsAtExactly256KiB)
{
    auto linesOfSize = [](size_t total) {
        std::string bytes;
        int marker = 1;
        while (bytes.size() + line(marker, 1000).size() + line(marker + 1).size() <= total)
            bytes += line(marker++, 1000);
        return bytes + line(marker, total - bytes.size() - line(marker).size());
    };
    struct Case {
        size_t size;
        bool replayed;
    } const cases[] = { { 262144, true }, { 262145, false } };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.size);
        TestSupport::TemporaryDirectory folder;
        fs::path const day = folder.path() / "2026" / "03" / "07";
        fs::create_directories(day);
        CodexRolloutTailer tailer(folder.path(), {}, CodexRolloutTailer::fixedOffsetCalendar(0), [] { return Date::fromSeconds(noon); });
        tailer.start(Date::fromSeconds(noon));
        std::string const bytes = linesOfSize(c.size);
        ASSERT_EQ(bytes.size(), c.size);
        writeFile(day / "rollout-a.jsonl", bytes);
        EXPECT_EQ(poll(tailer, noon).empty(), !c.replayed);
        EXPECT_EQ(tailer.trackedFileCount(), 1u);
    }
}

// An open file rests after two hours without growth, not before.
TEST_F(Follower, AFileRestsAfterTwoHoursWithoutGrowth)
{
    fs::create_directories(today);
    auto tailer = makeTailer();
    tailer->start(Date::fromSeconds(noon));
    writeFile(today / "rollout-a.jsonl", line(1));
    EXPECT_EQ(markers(poll(*tailer, noon)), (std::vector<int> { 1 }));
    EXPECT_TRUE(poll(*tailer, noon + 7200).empty());
    EXPECT_EQ(tailer->trackedFileCount(), 1u);
    EXPECT_TRUE(poll(*tailer, noon + 7201).empty());
    EXPECT_EQ(tailer->trackedFileCount(), 0u);
    EXPECT_EQ(tailer->dormantFileCount(), 1u);
}

TEST_F(Follower, PathsThatAreNoRegularFilesAreLeftAlone)
{
    fs::create_directories(today);
    ASSERT_EQ(mkfifo((today / "rollout-fifo.jsonl").c_str(), 0600), 0);
    fs::create_directories(today / "rollout-folder.jsonl");
    auto tailer = makeTailer();
    tailer->start(Date::fromSeconds(noon));
    writeFile(today / "rollout-real.jsonl", line(1));
    // Opening the FIFO for reading would wait for a writer that never comes.
    EXPECT_EQ(markers(poll(*tailer, noon)), (std::vector<int> { 1 }));
    EXPECT_EQ(tailer->trackedFileCount(), 1u);
}
