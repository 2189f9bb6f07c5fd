#include "agent-tool/StatusLineForwarder.hpp"

#include "PawletKit/tests/TestSupport.hpp"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

using TestSupport::TemporaryDirectory;
using namespace AgentTool;
using Result = StatusLineForwarder::Result;
namespace fs = std::filesystem;

namespace {

// The tool ignores SIGPIPE from its start; a command that closes its input must not kill the caller.
class StatusLineForwarderTest : public testing::Test {
protected:
    void SetUp() override { m_previous = std::signal(SIGPIPE, SIG_IGN); }
    void TearDown() override { std::signal(SIGPIPE, m_previous); }

private:
    void (*m_previous)(int) { SIG_DFL };
};

}

TEST_F(StatusLineForwarderTest, PassesOutputAndStatusOn)
{
    struct Case {
        char const* command;
        std::string input;
        int status;
        std::string output;
    };
    std::string const large(1'048'576, 'z');
    Case const cases[] = {
        { "printf 'hi\\n'; exit 3", "", 3, "hi\n" },
        { "cat", R"({"model":{"id":"m"}})", 0, R"({"model":{"id":"m"}})" },
        // Input and output both larger than a pipe holds: only concurrent draining gets through.
        { "cat", large, 0, large },
        { "echo partial; kill -9 $$", "", 137, "partial\n" },
        { "exec 0<&-; echo closed", large, 0, "closed\n" },
        { "exit 0", large, 0, "" },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.command);
        auto outcome = StatusLineForwarder::run(c.command, c.input, 20'000);
        EXPECT_EQ(outcome.result, Result::finished);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.output, c.output);
    }
}

TEST_F(StatusLineForwarderTest, OutputIsBounded)
{
    auto outcome = StatusLineForwarder::run("head -c 3000000 /dev/zero", "", 20'000);
    EXPECT_EQ(outcome.result, Result::finished);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output.size(), StatusLineForwarder::maxOutputBytes);
}

TEST_F(StatusLineForwarderTest, TimeOutKillsTheWholeGroup)
{
    // The shell and a grandchild both ignore SIGTERM; the grandchild reports its id, and both must be
    // gone afterwards.
    TemporaryDirectory directory;
    fs::path pidFile = directory.path() / "grandchild.pid";
    std::string command = "trap '' TERM; (trap '' TERM; echo $(exec sh -c 'echo $PPID') > '" + pidFile.string()
        + "'; while :; do sleep 1; done) & while :; do sleep 1; done";
    auto outcome = StatusLineForwarder::run(command, "", 500);
    EXPECT_EQ(outcome.result, Result::timedOut);
    EXPECT_EQ(outcome.output, "");

    std::ifstream stream(pidFile);
    pid_t grandchild = 0;
    ASSERT_TRUE(stream >> grandchild);
    ASSERT_GT(grandchild, 1);
    // A killed orphan may linger as a zombie until its new parent reaps it; it no longer runs.
    bool gone = false;
    for (int attempt = 0; attempt < 100 && !gone; ++attempt) {
        std::ifstream stat("/proc/" + std::to_string(grandchild) + "/stat");
        std::string pid, name, state;
        gone = !(stat >> pid >> name >> state) || state == "Z";
        if (!gone)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(gone);
}

TEST_F(StatusLineForwarderTest, BackgroundChildHoldingTheOutputIsNotAwaited)
{
    TemporaryDirectory directory;
    fs::path marker = directory.path() / "done";
    // The background child outlives the test by design; it must not complain when its folder is gone.
    std::string command = "echo hi; (sleep 3; touch '" + marker.string() + "' 2>/dev/null) &";
    auto outcome = StatusLineForwarder::run(command, "", 20'000);
    EXPECT_EQ(outcome.result, Result::finished);
    EXPECT_EQ(outcome.output, "hi\n");
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(StatusLineForwarderTest, CommandStartsWithDefaultSignals)
{
    // The tool ignores SIGPIPE and may hold signals blocked; a pipeline in the command must behave as
    // in any shell. Only the classic signals are compared: the C library keeps its own above 31.
    sigset_t blocked, saved;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &blocked, &saved);
    auto outcome = StatusLineForwarder::run(
        "for mask in $(awk '/^Sig(Blk|Ign)/ {print $2}' /proc/$$/status); do echo $((0x$mask & 0x7fffffff)); done", "", 20'000);
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    EXPECT_EQ(outcome.output, "0\n0\n");
}
