#include "PawletKit/AgentLog.hpp"

#include "TestSupport.hpp"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace PawletKit;
namespace fs = std::filesystem;

TEST(AgentLog, AppendsOneStampedLinePerCall)
{
    TestSupport::TemporaryDirectory folder;
    AgentLog log(Paths::withBase(folder.path() / "new" / "support"));
    EXPECT_EQ(log.maxBytes, 262144);
    log.append("first");
    log.append("two\nlines");
    std::string pid = std::to_string(getpid());
    std::regex expected("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ \\[" + pid + "\\] first\n"
                                                                                 "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ \\["
        + pid + "\\] two\nlines\n");
    EXPECT_TRUE(std::regex_match(TestSupport::readFile(log.url), expected)) << TestSupport::readFile(log.url);
    EXPECT_EQ(TestSupport::fileMode(log.url), 0600u);
    EXPECT_EQ(TestSupport::fileMode(log.url.parent_path()), 0700u);
}

TEST(AgentLog, StartsOverOnlyPastTheCap)
{
    TestSupport::TemporaryDirectory folder;
    AgentLog log(Paths::withBase(folder.path()));
    struct Case {
        size_t sizeBefore;
        bool startsOver;
    };
    Case const cases[] = { { 262144, false }, { 262145, true } };
    for (auto const& c : cases) {
        TestSupport::writeFile(log.url, std::string(c.sizeBefore, 'x'));
        log.append("next");
        std::string contents = TestSupport::readFile(log.url);
        if (c.startsOver) {
            EXPECT_EQ(std::count(contents.begin(), contents.end(), '\n'), 1);
            EXPECT_TRUE(contents.ends_with("] next\n"));
        } else {
            EXPECT_EQ(contents.substr(0, c.sizeBefore), std::string(c.sizeBefore, 'x'));
            EXPECT_TRUE(contents.ends_with("] next\n"));
        }
    }
}

TEST(AgentLog, LinesOfConcurrentWritersNeverInterleave)
{
    TestSupport::TemporaryDirectory folder;
    AgentLog log(folder.path() / "agent.log", 1 << 30);
    constexpr int writers = 8;
    constexpr int linesEach = 200;
    std::string payload(300, 'p');
    std::vector<pid_t> children;
    for (int i = 0; i < writers; ++i) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int n = 0; n < linesEach; ++n)
                log.append(payload);
            _exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::istringstream lines(TestSupport::readFile(log.url));
    std::regex shape("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ \\[\\d+\\] p{300}");
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        EXPECT_TRUE(std::regex_match(line, shape)) << line.substr(0, 80);
    EXPECT_EQ(count, writers * linesEach);
}

TEST(AgentLog, FailuresAreSilent)
{
    TestSupport::TemporaryDirectory folder;
    TestSupport::writeFile(folder.path() / "plain", "x");
    AgentLog underFile(folder.path() / "plain" / "agent.log", 10);
    EXPECT_NO_THROW(underFile.append("dropped"));
    fs::create_directory(folder.path() / "agent.log");
    AgentLog atFolder(folder.path() / "agent.log", 10);
    EXPECT_NO_THROW(atFolder.append("dropped"));
    EXPECT_TRUE(fs::is_directory(folder.path() / "agent.log"));
}

// A FIFO or link planted in place of the log neither holds the caller up nor receives the line.
TEST(AgentLog, WritesOnlyARegularFile)
{
    TestSupport::TemporaryDirectory folder;
    AgentLog log(folder.path() / "agent.log", 10);
    fs::path target = folder.path() / "target";
    TestSupport::writeFile(target, "");
    ASSERT_EQ(::mkfifo(log.url.c_str(), 0600), 0);
    log.append("dropped");
    fs::remove(log.url);
    fs::create_symlink(target, log.url);
    log.append("dropped");
    EXPECT_EQ(fs::file_size(target), 0u);
}
