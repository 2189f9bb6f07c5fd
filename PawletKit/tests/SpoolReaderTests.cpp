#include "PawletKit/SpoolReader.hpp"
#include "PawletKit/SpoolWriter.hpp"

#include "TestSupport.hpp"

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using namespace PawletKit;
using TestSupport::readFile;
using TestSupport::TemporaryDirectory;
using TestSupport::writeFile;
namespace fs = std::filesystem;

namespace {

std::string line(std::string const& name)
{
    return SpoolEvent(1, 1700000000.5, name, std::nullopt, std::string("s"), JSON::Value { { "cwd", "/w" } }).jsonLine();
}

std::vector<std::string> names(std::vector<SpoolEvent> const& events)
{
    std::vector<std::string> result;
    for (auto const& event : events)
        result.push_back(event.ev);
    return result;
}

using Names = std::vector<std::string>;

class SpoolReaderTest : public testing::Test {
public:
    fs::path spool() const { return paths.spool(); }
    fs::path rotated() const { return paths.rotatedSpool(); }
    uint64_t spoolSize() const { return fs::file_size(spool()); }

    void append(std::string const& bytes) const
    {
        int fd = ::open(spool().c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    }

    TemporaryDirectory temporary;
    Paths paths = Paths::withBase(temporary.path());
};

}

TEST_F(SpoolReaderTest, StartsAtTheEndAfterSkipToEnd)
{
    SpoolReader reader(paths);
    reader.skipToEnd();
    EXPECT_EQ(reader.offset(), 0u);

    append(line("old1") + line("old2"));
    reader.skipToEnd();
    uint64_t end = spoolSize();
    EXPECT_EQ(reader.offset(), end);

    append(line("new"));
    EXPECT_EQ(names(reader.poll()), Names { "new" });
    EXPECT_EQ(reader.offset(), spoolSize());
    EXPECT_EQ(names(reader.poll()), Names {});
}

TEST_F(SpoolReaderTest, LineWrittenInTwoPartsIsReturnedOnceWhole)
{
    SpoolReader reader(paths);
    std::string second = line("second");
    append(line("first") + second.substr(0, 20));

    EXPECT_EQ(names(reader.poll()), Names { "first" });
    EXPECT_EQ(reader.offset(), line("first").size());
    EXPECT_EQ(names(reader.poll()), Names {});

    append(second.substr(20));
    auto events = reader.poll();
    ASSERT_EQ(names(events), Names { "second" });
    EXPECT_EQ(events[0].data, (JSON::Value { { "cwd", "/w" } }));
    EXPECT_EQ(reader.droppedLines(), 0);
}

TEST_F(SpoolReaderTest, FollowsTheFileAcrossRenameReplacementAndTruncation)
{
    struct Case {
        char const* name;
        void (*change)(SpoolReaderTest const&);
    };
    Case const cases[] = {
        { "renamed away, then recreated by a writer",
            [](SpoolReaderTest const& test) {
                fs::rename(test.spool(), test.temporary.path() / "moved.jsonl");
                test.append(line("n1") + line("n2") + line("n3") + line("n4"));
            } },
        { "replaced by a new file",
            [](SpoolReaderTest const& test) {
                writeFile(test.temporary.path() / ".new", line("n1") + line("n2") + line("n3") + line("n4"));
                fs::rename(test.temporary.path() / ".new", test.spool());
            } },
        { "truncated",
            [](SpoolReaderTest const& test) {
                fs::resize_file(test.spool(), 0);
                test.append(line("n1"));
            } },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(spool());
        append(line("o1") + line("o2"));
        SpoolReader reader(paths);
        ASSERT_EQ(names(reader.poll()), (Names { "o1", "o2" }));

        c.change(*this);
        std::string partial = line("p");
        append(partial.substr(0, partial.size() / 2));
        auto events = reader.poll();
        Names expected = std::string(c.name) == "truncated" ? Names { "n1" } : Names { "n1", "n2", "n3", "n4" };
        EXPECT_EQ(names(events), expected);

        append(partial.substr(partial.size() / 2));
        EXPECT_EQ(names(reader.poll()), Names { "p" });
        EXPECT_EQ(reader.droppedLines(), 0);
        EXPECT_EQ(reader.rotations(), 0);
    }
}

TEST_F(SpoolReaderTest, RotatesAConsumedFileAboveItsLimit)
{
    std::string content = line("a") + line("b");
    int64_t size = static_cast<int64_t>(content.size());
    struct Case {
        char const* name;
        int64_t rotateAt;
        std::string content;
        bool rotates;
    };
    Case const cases[] = {
        { "one byte above the limit", size - 1, content, true },
        { "exactly at the limit", size, content, false },
        { "limit 0", 0, content, true },
        { "limit 0, empty file", 0, "", false },
        { "ends in a partial line", 0, content + "{\"ev\":", false },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(spool());
        fs::remove(rotated());
        writeFile(rotated(), "older\n");
        writeFile(spool(), c.content);
        SpoolReader reader(paths, c.rotateAt);
        int renames = 0;
        reader.setAfterRenameHook([&] { ++renames; });

        EXPECT_EQ(names(reader.poll()).size(), c.content.empty() ? 0u : 2u);

        EXPECT_EQ(reader.rotations(), c.rotates ? 1 : 0);
        EXPECT_EQ(renames, reader.rotations());
        EXPECT_EQ(fs::exists(spool()), !c.rotates);
        EXPECT_EQ(readFile(rotated()), c.rotates ? c.content : "older\n");
        EXPECT_EQ(reader.offset(), c.rotates ? 0u : content.size() * !c.content.empty());
        EXPECT_EQ(reader.drainingRotatedFiles(), c.rotates ? 1u : 0u);
    }
}

TEST_F(SpoolReaderTest, NextWriterStartsANewFileReadFromItsStart)
{
    SpoolReader reader(paths, 0);
    SpoolWriter writer(paths);
    for (int round = 1; round <= 3; ++round) {
        writer.append(SpoolEvent(1, round, "r" + std::to_string(round), std::nullopt, std::nullopt, JSON::Value::object()));
        EXPECT_EQ(names(reader.poll()), Names { "r" + std::to_string(round) });
        EXPECT_EQ(reader.rotations(), round);
    }
}

namespace {

// A writer that opened the file before the reader renamed it.
class LateWriter {
public:
    explicit LateWriter(fs::path const& path)
        : m_fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC))
    {
    }
    ~LateWriter() { ::close(m_fd); }
    bool write(std::string const& name) const
    {
        std::string bytes = line(name);
        return m_fd >= 0 && ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

private:
    int m_fd;
};

}

TEST_F(SpoolReaderTest, DrainsTheRenamedFileUntilItsTimeIsOver)
{
    append(line("a") + line("b"));
    SpoolReader reader(paths, 100);
    reader.setRetainRotatedFor(0);
    LateWriter late(spool());
    reader.setAfterRenameHook([&] { EXPECT_TRUE(late.write("during-rename")); });

    EXPECT_EQ(names(reader.poll()), (Names { "a", "b", "during-rename" }));
    EXPECT_EQ(reader.rotations(), 1);
    EXPECT_EQ(reader.drainingRotatedFiles(), 1u);

    ASSERT_TRUE(late.write("late"));
    append(line("new"));
    // The renamed file first; its time is over, so this is its last drain.
    EXPECT_EQ(names(reader.poll()), (Names { "late", "new" }));
    EXPECT_EQ(reader.drainingRotatedFiles(), 0u);

    ASSERT_TRUE(late.write("too-late"));
    EXPECT_EQ(names(reader.poll()), Names {});
    EXPECT_NE(readFile(rotated()).find("too-late"), std::string::npos);
}

// A writer held up between its open and its write across two rotations still gets its line read.
TEST_F(SpoolReaderTest, OlderRenamedFilesKeepDrainingAcrossFurtherRotations)
{
    append(line("a"));
    SpoolReader reader(paths, 0);
    EXPECT_EQ(reader.retainRotatedFor(), 5.0);
    LateWriter stalled(spool());
    EXPECT_EQ(names(reader.poll()), Names { "a" });

    append(line("b"));
    EXPECT_EQ(names(reader.poll()), Names { "b" });
    EXPECT_EQ(reader.rotations(), 2);
    EXPECT_EQ(reader.drainingRotatedFiles(), 2u);

    // Its file has lost its name by now: the second rotation renamed over it.
    ASSERT_TRUE(stalled.write("stalled"));
    append(line("c"));
    EXPECT_EQ(names(reader.poll()), (Names { "stalled", "c" }));
    EXPECT_EQ(reader.droppedLines(), 0);
}

TEST_F(SpoolReaderTest, CountsBadLinesAndSkipsEmptyOnes)
{
    append(line("a") + "\n" + "not json\n" + R"({"ts":1})"
                                             "\n"
        + "[1,2]\n" + R"({"ev":"","ts":1})"
                      "\n"
        + line("b"));
    SpoolReader reader(paths);
    EXPECT_EQ(names(reader.poll()), (Names { "a", "b" }));
    EXPECT_EQ(reader.droppedLines(), 4);
    EXPECT_EQ(reader.offset(), spoolSize());
}

TEST_F(SpoolReaderTest, MissingFileReturnsNothingAndKeepsItsPlace)
{
    append(line("a"));
    SpoolReader reader(paths);
    reader.poll();
    uint64_t offset = reader.offset();
    fs::remove(spool());
    EXPECT_EQ(names(reader.poll()), Names {});
    EXPECT_EQ(reader.offset(), offset);
}

// A tail without a line feed is waited for while it could still become a line; past the line limit it is
// counted once and skipped, not read again on every poll.
TEST_F(SpoolReaderTest, OverlongTailIsDroppedOnceAndSkipped)
{
    struct Case {
        size_t tailBytes;
        bool skipped;
    };
    Case const cases[] = {
        { SpoolEvent::maxLineBytes - 1, false },
        { SpoolEvent::maxLineBytes, true },
        { 1 << 20, true },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.tailBytes);
        fs::remove(spool());
        SpoolReader reader(paths, 0);
        append(line("a") + std::string(c.tailBytes, 'x'));

        EXPECT_EQ(names(reader.poll()), Names { "a" });
        EXPECT_EQ(reader.droppedLines(), c.skipped ? 1 : 0);
        EXPECT_EQ(reader.offset(), c.skipped ? spoolSize() : line("a").size());

        append(std::string(100, 'y'));
        EXPECT_EQ(names(reader.poll()), Names {});
        EXPECT_EQ(reader.droppedLines(), 1);
        EXPECT_EQ(reader.offset(), spoolSize());
        // Never rotated in the middle of a line.
        EXPECT_EQ(reader.rotations(), 0);

        append("tail end\n" + line("b"));
        EXPECT_EQ(names(reader.poll()), Names { "b" });
        EXPECT_EQ(reader.droppedLines(), 1);
        EXPECT_EQ(reader.rotations(), 1);
    }
}

TEST_F(SpoolReaderTest, AHugeBacklogIsReadInBoundedPollsWithoutLoss)
{
    // Rotation off, as when nobody rotated a file that grew past the per-poll bound.
    SpoolReader reader(paths, std::numeric_limits<int64_t>::max());
    std::string backlog;
    size_t count = 0;
    while (backlog.size() <= SpoolReader::maxBytesPerPoll + SpoolReader::maxBytesPerPoll / 2)
        backlog += line("e" + std::to_string(count++));
    append(backlog);

    auto first = reader.poll();
    EXPECT_GT(first.size(), 0u);
    EXPECT_LT(first.size(), count);
    EXPECT_LE(reader.offset(), SpoolReader::maxBytesPerPoll);
    auto second = reader.poll();
    ASSERT_EQ(first.size() + second.size(), count);
    EXPECT_EQ(second.back().ev, "e" + std::to_string(count - 1));
    EXPECT_EQ(second.front().ev, "e" + std::to_string(first.size()));
    EXPECT_EQ(reader.droppedLines(), 0);
    EXPECT_EQ(reader.offset(), backlog.size());
}

// A line caught half written by a poll is returned whole by the poll after its line feed, however
// long a hostile hook input made its fields.
TEST_F(SpoolReaderTest, WriterCaughtMidLineLosesNothing)
{
    std::string marks;
    for (int i = 0; i < 30'000; ++i)
        marks += "\xCC\x81";
    struct Case {
        char const* name;
        std::string event;
        std::string sessionId;
    };
    Case const cases[] = {
        { "session id of one character and 60 KB", "PreToolUse", "e" + marks },
        { "event name of 100 KB", std::string(100'000, 'E'), "s" },
        { "data at the line limit", "PreToolUse", std::string(390, 's') },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(spool());
        SpoolReader reader(paths);
        JSON::Value input { { "session_id", c.sessionId }, { "cwd", std::string(400, 'c') }, { "model", { { "id", std::string(400, 'm') } } },
            { "cost", { { "a", std::string(400, 'a') }, { "b", std::string(400, 'b') }, { "c", std::string(400, 'c') } } },
            { "rate_limits", { { "a", std::string(400, 'a') }, { "b", std::string(400, 'b') }, { "c", std::string(400, 'c') } } } };
        std::string whole = SpoolEvent::make(c.event, std::nullopt, &input, 1700000000.5).jsonLine();
        for (size_t cut : { whole.size() / 2, whole.size() - 1 }) {
            SCOPED_TRACE(cut);
            append(whole.substr(0, cut));
            EXPECT_EQ(names(reader.poll()), Names {});
            append(whole.substr(cut));
            auto events = reader.poll();
            ASSERT_EQ(events.size(), 1u);
            EXPECT_EQ(events[0], *SpoolReader::decodeLine(std::string_view(whole).substr(0, whole.size() - 1)));
            EXPECT_EQ(reader.droppedLines(), 0);
        }
    }
}

// Something other than a regular file at the path is skipped with one log line, and never blocks:
// opening a FIFO for reading would wait for a writer forever.
TEST_F(SpoolReaderTest, SkipsAFifoOrLinkAtThePathWithOneLogLine)
{
    struct Case {
        char const* name;
        std::function<void()> plant;
    };
    fs::path elsewhere = temporary.path() / "elsewhere.jsonl";
    writeFile(elsewhere, line("elsewhere"));
    Case const cases[] = {
        { "FIFO", [&] { ASSERT_EQ(::mkfifo(spool().c_str(), 0600), 0); } },
        { "symbolic link", [&] { fs::create_symlink(elsewhere, spool()); } },
        { "folder", [&] { fs::create_directory(spool()); } },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(spool());
        SpoolReader reader(paths);
        std::vector<std::string> logged;
        reader.setLogHook([&](std::string_view text) { logged.emplace_back(text); });
        c.plant();

        reader.skipToEnd();
        EXPECT_EQ(names(reader.poll()), Names {});
        EXPECT_EQ(names(reader.poll()), Names {});
        EXPECT_EQ(logged, std::vector<std::string> { "spool: " + spool().string() + " is a " + c.name + ", not a regular file; skipped" });

        // A regular file in its place is read from its start.
        fs::remove_all(spool());
        append(line("a"));
        EXPECT_EQ(names(reader.poll()), Names { "a" });
        EXPECT_EQ(logged.size(), 1u);
        EXPECT_EQ(reader.droppedLines(), 0);
    }
}
