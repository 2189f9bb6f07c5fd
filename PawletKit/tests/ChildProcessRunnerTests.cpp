#include "PawletKit/ChildProcessRunner.hpp"
#include "PawletKit/tests/TestSupport.hpp"

#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

using namespace PawletKit;
using Ending = ProcessRunner::Result::Ending;
namespace fs = std::filesystem;

namespace {

ProcessRunner::Result runShell(std::string const& script, double timeout = 30, PawletKit::Environment environment = {})
{
    ProcessRunner::Request request;
    request.executable = "/bin/sh";
    request.arguments = { "-c", script };
    request.environment = std::move(environment);
    request.timeout = timeout;
    return ChildProcessRunner().run(request);
}

// A killed process that was not our child may linger as a zombie until its new parent reaps it.
bool processIsGone(pid_t pid)
{
    for (int attempt = 0; attempt < 500; ++attempt) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string ownPid, name, state;
        if (!(stat >> ownPid >> name >> state) || state == "Z" || state == "X")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}

TEST(ChildProcessRunner, ReportsHowTheProgramEnded)
{
    struct Case {
        char const* script;
        Ending ending;
        int status;
        char const* output;
        char const* errors;
    } const cases[] = {
        { "printf 'out'; printf 'err' >&2", Ending::exited, 0, "out", "err" },
        { "echo hi; exit 3", Ending::exited, 3, "hi\n", "" },
        { "kill -9 $$", Ending::signalled, 9, "", "" },
        // Standard input is the null device: a reader sees its end at once.
        { "cat; echo done", Ending::exited, 0, "done\n", "" },
        // Ignored in this process, SIGPIPE is the default again in the child.
        { "trap - PIPE; kill -PIPE $$", Ending::signalled, SIGPIPE, "", "" },
    };
    ::signal(SIGPIPE, SIG_IGN);
    for (auto const& c : cases) {
        auto result = runShell(c.script);
        EXPECT_EQ(result.ending, c.ending) << c.script;
        EXPECT_EQ(result.status, c.status) << c.script;
        EXPECT_EQ(result.standardOutput, c.output) << c.script;
        EXPECT_EQ(result.standardError, c.errors) << c.script;
        EXPECT_FALSE(result.outputTruncated) << c.script;
    }
}

TEST(ChildProcessRunner, GivesTheProgramOnlyTheEnvironmentAskedFor)
{
    auto result = runShell("env", 30, { { "ONLY", "this" } });
    EXPECT_EQ(result.ending, Ending::exited);
    EXPECT_NE(result.standardOutput.find("ONLY=this\n"), std::string::npos);
    EXPECT_EQ(result.standardOutput.find("HOME="), std::string::npos);
}

TEST(ChildProcessRunner, AProgramThatCannotStartSaysWhy)
{
    TestSupport::TemporaryDirectory folder;
    auto script = folder.path() / "tool";
    TestSupport::writeFile(script, "#!/nonexistent/interpreter\n");
    fs::permissions(script, fs::perms::owner_all);
    for (auto const& executable : { folder.path() / "missing", script }) {
        ProcessRunner::Request request;
        request.executable = executable;
        auto result = ChildProcessRunner().run(request);
        EXPECT_EQ(result.ending, Ending::failedToStart) << executable;
        EXPECT_EQ(result.startError, ENOENT) << executable;
    }
}

TEST(ChildProcessRunner, OutputBeyondTheCapIsDroppedWithoutStallingTheProgram)
{
    ProcessRunner::Request request;
    request.executable = "/bin/sh";
    // Far more than a pipe holds, on both streams: a runner that stopped reading would never see the end.
    request.arguments = { "-c", "head -c 3000000 /dev/zero; head -c 3000000 /dev/zero >&2; echo end >&2" };
    request.maxOutputBytes = 1000;
    auto result = ChildProcessRunner().run(request);
    EXPECT_EQ(result.ending, Ending::exited);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.standardOutput, std::string(1000, '\0'));
    EXPECT_EQ(result.standardError.size(), 1000u);
    EXPECT_TRUE(result.outputTruncated);
}

TEST(ChildProcessRunner, ATimeOutKillsTheWholeGroupAndReapsTheProgram)
{
    TestSupport::TemporaryDirectory folder;
    auto pidFile = folder.path() / "pids";
    // The program and what it started both hang; the started one also keeps the pipes open.
    auto script = "sleep 300 & echo $! > '" + pidFile.string() + "'; echo $$ >> '" + pidFile.string() + "'; echo started; wait";
    auto result = runShell(script, 3);
    EXPECT_EQ(result.ending, Ending::timedOut);

    std::ifstream pids(pidFile);
    pid_t started = 0, program = 0;
    ASSERT_TRUE(pids >> started >> program);
    // Reaped before run() returned: no zombie of ours is left.
    EXPECT_EQ(::waitpid(program, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_TRUE(processIsGone(started));
}

// Time limits that fit no poll() timeout in milliseconds: the program still runs to its end, and
// one that is not a number allows no time rather than endless time.
TEST(ChildProcessRunner, TimeLimitsBeyondAnyClockStillLetTheProgramFinish)
{
    for (double timeout : { std::numeric_limits<double>::infinity(), 1e12, 3e9 }) {
        auto result = runShell("sleep 0.1; echo done", timeout);
        EXPECT_EQ(result.ending, Ending::exited) << timeout;
        EXPECT_EQ(result.standardOutput, "done\n") << timeout;
    }
    EXPECT_EQ(runShell("sleep 5", std::numeric_limits<double>::quiet_NaN()).ending, Ending::timedOut);
}

// An editor's launcher that hands the pipes to what it started and exits: its answer counts, the
// run ends a grace period later, and what it left behind is stopped.
TEST(ChildProcessRunner, WhatAnExitedProgramLeftHoldingThePipesIsStopped)
{
    TestSupport::TemporaryDirectory folder;
    auto pidFile = folder.path() / "pids";
    auto script = "sleep 300 & echo $! > '" + pidFile.string() + "'; echo launched";
    auto const started = std::chrono::steady_clock::now();
    auto result = runShell(script, 30);
    auto const seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(result.ending, Ending::exited);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.standardOutput, "launched\n");
    EXPECT_LT(seconds, 10) << "waited for the left-behind program";

    std::ifstream pids(pidFile);
    pid_t leftBehind = 0;
    ASSERT_TRUE(pids >> leftBehind);
    EXPECT_TRUE(processIsGone(leftBehind));
}
