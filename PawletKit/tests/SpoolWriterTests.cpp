#include "PawletKit/SpoolWriter.hpp"

#include "TestSupport.hpp"

#include <cerrno>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace PawletKit;
using TestSupport::readFile;
using TestSupport::TemporaryDirectory;
using TestSupport::writeFile;
namespace fs = std::filesystem;

namespace {

SpoolEvent event(std::string const& name, double ts = 1700000000.25)
{
    return SpoolEvent(1, ts, name, std::nullopt, std::string("s1"), JSON::Value { { "tool_name", "Bash" } });
}

}

TEST(SpoolWriter, FirstAppendCreatesPrivateFolderAndFile)
{
    TemporaryDirectory temporary;
    Paths paths = Paths::withBase(temporary.path() / "missing" / "Pupnik");
    SpoolWriter writer(paths);
    EXPECT_EQ(writer.url(), paths.spool());
    EXPECT_EQ(writer.emergencyRotateAt(), SpoolWriter::defaultEmergencyRotateAt);

    writer.append(event("PreToolUse"));
    writer.append(event("PostToolUse"));

    EXPECT_EQ(TestSupport::fileMode(paths.base()), 0700u);
    EXPECT_EQ(TestSupport::fileMode(paths.spool()), 0600u);
    EXPECT_EQ(readFile(paths.spool()), event("PreToolUse").jsonLine() + event("PostToolUse").jsonLine());
}

TEST(SpoolWriter, EmergencyRotation)
{
    struct Case {
        char const* fileName;
        int64_t limit;
        size_t existingBytes;
        bool rotates;
    };
    Case const cases[] = {
        { "events.jsonl", 100, 100, false },
        { "events.jsonl", 100, 101, true },
        { "events.jsonl", 0, 5000, false },
        { "events.jsonl", -1, 5000, false },
        // The rotated name is fixed, whatever the followed file is called.
        { "other.jsonl", 10, 11, true },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(std::string(c.fileName) + " limit " + std::to_string(c.limit) + " size " + std::to_string(c.existingBytes));
        TemporaryDirectory temporary;
        fs::path url = temporary.path() / c.fileName;
        fs::path rotated = temporary.path() / "events.1.jsonl";
        std::string existing = std::string(c.existingBytes - 1, 'x') + "\n";
        writeFile(url, existing);
        writeFile(rotated, "older\n");
        std::string line = event("Stop").jsonLine();

        SpoolWriter::appendLine(line, url, c.limit);

        if (c.rotates) {
            EXPECT_EQ(readFile(rotated), existing);
            EXPECT_EQ(readFile(url), line);
            EXPECT_EQ(TestSupport::fileMode(url), 0600u);
        } else {
            EXPECT_EQ(readFile(rotated), "older\n");
            EXPECT_EQ(readFile(url), existing + line);
        }
    }
}

TEST(SpoolWriter, OversizedEventIsWrittenReduced)
{
    JSON::Value unknownMembers = JSON::Value::object();
    for (int i = 0; i < 20; ++i)
        unknownMembers["extra" + std::to_string(i)] = std::string(400, 'a');
    unknownMembers["cwd"] = "/w";
    JSON::Value allowedMembers = JSON::Value::object();
    for (char const* key : { "cwd", "model", "source", "reason", "trigger", "version", "agent_id", "agent_type", "tool_name", "tool_use_id" })
        allowedMembers[key] = std::string(400, 'b');
    struct Case {
        JSON::Value data;
        char const* writtenData;
    };
    Case const cases[] = {
        { unknownMembers, R"({"cwd":"/w"})" },
        { allowedMembers, "{}" },
    };
    for (auto const& c : cases) {
        TemporaryDirectory temporary;
        SpoolWriter writer(temporary.path() / "events.jsonl");

        writer.append(SpoolEvent(1, 5, "Stop", std::nullopt, std::nullopt, c.data));

        EXPECT_EQ(readFile(writer.url()),
            std::string(R"({"data":)") + c.writtenData + R"(,"ev":"Stop","m":null,"sid":null,"ts":5.0,"v":1})"
                                                         "\n");
    }
}

TEST(SpoolWriter, FailuresAreReportedWithTheFailingCall)
{
    TemporaryDirectory temporary;
    fs::create_directory(temporary.path() / "events.jsonl");
    try {
        SpoolWriter(temporary.path() / "events.jsonl").append(event("Stop"));
        FAIL() << "no error";
    } catch (SpoolWriter::Error const& error) {
        EXPECT_EQ(error, SpoolWriter::Error::open(EISDIR));
        EXPECT_NE(error, SpoolWriter::Error::write(EISDIR));
        EXPECT_NE(std::string(error.what()).find("errno 21"), std::string::npos) << error.what();
    }

    // A plain file where the folder should be.
    writeFile(temporary.path() / "blocker", "x");
    EXPECT_THROW(SpoolWriter(temporary.path() / "blocker" / "events.jsonl").append(event("Stop")), std::system_error);
}

// The file size limit of a child process makes the kernel accept only part of a line, then none of it.
TEST(SpoolWriter, ShortAndFailedWritesAreErrors)
{
    TemporaryDirectory temporary;
    fs::path url = temporary.path() / "events.jsonl";
    writeFile(url, std::string(89, 'x') + "\n");
    std::string line = std::string(49, 'y') + "\n";

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            100, 100
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int result = 0;
        try {
            SpoolWriter::appendLine(line, url, 0);
            result = 1;
        } catch (SpoolWriter::Error const& error) {
            if (!(error == SpoolWriter::Error::shortWrite(10, 50)))
                result = 2;
        }
        try {
            SpoolWriter::appendLine(line, url, 0);
            result = 3;
        } catch (SpoolWriter::Error const& error) {
            if (!(error == SpoolWriter::Error::write(EFBIG)))
                result = 4;
        }
        ::_exit(result);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error, 2: not a short write, 3: no second error, 4: not EFBIG";
    EXPECT_EQ(readFile(url), std::string(89, 'x') + "\n" + std::string(10, 'y'));
}

// A FIFO planted at the path would hold every hook call in open for good; a link would send the lines
// elsewhere. Neither is opened for writing.
TEST(SpoolWriter, WritesOnlyARegularFile)
{
    TemporaryDirectory temporary;
    fs::path url = temporary.path() / "events.jsonl";
    fs::path target = temporary.path() / "target";
    struct Case {
        char const* name;
        std::function<void()> plant;
        SpoolWriter::Error expected;
    };
    Case const cases[] = {
        { "FIFO", [&] { ASSERT_EQ(::mkfifo(url.c_str(), 0600), 0); }, SpoolWriter::Error::notRegularFile() },
        { "link to a file", [&] { writeFile(target, ""); fs::create_symlink(target, url); }, SpoolWriter::Error::open(ELOOP) },
        { "dangling link", [&] { fs::remove(target); fs::create_symlink(target, url); }, SpoolWriter::Error::open(ELOOP) },
        { "device", [&] { fs::create_symlink("/dev/null", url); }, SpoolWriter::Error::open(ELOOP) },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(url);
        c.plant();
        try {
            SpoolWriter::appendLine(event("Stop").jsonLine(), url, SpoolWriter::defaultEmergencyRotateAt);
            ADD_FAILURE() << "no error";
        } catch (SpoolWriter::Error const& error) {
            EXPECT_EQ(error, c.expected) << error.what();
        }
        EXPECT_FALSE(fs::exists(target) && fs::file_size(target) > 0);
    }
    EXPECT_STREQ(SpoolWriter::Error::notRegularFile().what(), "open: not a regular file");
}
