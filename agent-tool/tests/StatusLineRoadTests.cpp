#include "AgentProcess.hpp"
#include "PawletKit/tests/TestSupport.hpp"
#include "SupportFiles.hpp"

#include "agent-tool/StatusLineRoad.hpp"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace fs = std::filesystem;
using nlohmann::json;
using TestSupport::TemporaryDirectory;
using namespace AgentTool;

namespace {

std::string const statusInput = R"({"session_id":"s-line","hook_event_name":"Status","model":{"id":"claude-opus-4-1","display_name":"Opus"},"cost":{"total_cost_usd":0.42},"workspace":{"current_dir":"/p"}})";

class StatusLine : public testing::Test {
protected:
    fs::path support() const { return m_directory.path() / "support"; }
    fs::path scratch() const { return m_directory.path(); }

    void configure(json forward)
    {
        fs::create_directories(support());
        json config = { { "version", 1 }, { "forwardStatusLine", forward }, { "installedAt", "2026-01-02T03:04:05Z" } };
        SupportFiles::writeAtomically(support() / "config.json", config.dump());
    }

    AgentProcess::Outcome run(std::map<std::string, std::string> const& environment = {})
    {
        return AgentProcess::run({ "statusline" }, statusInput, support(), environment);
    }

    // The input is on record as a status-line event, without a process chain.
    void expectRecorded()
    {
        auto events = SupportFiles::events(support());
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0]["ev"], "statusline");
        EXPECT_EQ(events[0]["m"], nullptr);
        EXPECT_EQ(events[0]["sid"], "s-line");
        EXPECT_EQ(events[0]["data"]["model"]["id"], "claude-opus-4-1");
        EXPECT_FALSE(events[0]["data"].contains("proc"));
    }

private:
    TemporaryDirectory m_directory;
};

bool processIsGone(pid_t pid)
{
    // A killed orphan may linger as a zombie until its new parent reaps it; it no longer runs. A
    // loaded machine may take seconds to get there.
    for (int attempt = 0; attempt < 500; ++attempt) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string ownPid, name, state;
        if (!(stat >> ownPid >> name >> state) || state == "Z")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}

TEST_F(StatusLine, NothingToForwardOnlyRecords)
{
    for (json forward : { json("missing"), json(nullptr), json(" \n\t ") }) {
        SCOPED_TRACE(forward.dump());
        fs::remove_all(support());
        if (forward != "missing")
            configure(forward);
        auto outcome = run();
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.standardOutput, "");
        expectRecorded();
    }
}

TEST_F(StatusLine, PassesTheCommandsOutputAndStatusOn)
{
    struct Case {
        std::string command;
        int status;
        std::string output;
    };
    Case const cases[] = {
        { "printf 'hi\\n'; exit 3", 3, "hi\n" },
        // The raw input is passed on, not the recorded form.
        { "cat", 0, statusInput },
        { "echo before; kill -9 $$", 137, "before\n" },
        { "  echo trimmed  \n", 0, "trimmed\n" },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.command);
        fs::remove_all(support());
        configure(c.command);
        auto outcome = run();
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.standardOutput, c.output);
        expectRecorded();
    }
}

TEST_F(StatusLine, ForwardsWhateverElseTheApplicationKeepsInTheConfiguration)
{
    fs::create_directories(support());
    // The application keeps the user's whole displaced entry beside the command; only the command counts here.
    json config = { { "version", 1 }, { "forwardStatusLine", "echo forwarded" }, { "installedAt", "2026-01-02T03:04:05Z" },
        { "displacedStatusLine", { { "type", "command" }, { "command", "echo other" }, { "padding", 1 } } } };
    SupportFiles::writeAtomically(support() / "config.json", config.dump());
    auto outcome = run();
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.standardOutput, "forwarded\n");
    expectRecorded();
}

TEST_F(StatusLine, RefusesToForwardToItself)
{
    std::string const own = std::string(PUPNIK_AGENT_PATH) + " statusline";
    std::string const compound = "echo done; " + own;
    struct Case {
        std::string command;
        std::map<std::string, std::string> environment;
        std::string printed;
        std::string logged;
    };
    Case const cases[] {
        { own, {}, "", "refusing to forward to ourselves: " + own.substr(0, 120) },
        // The user's line runs a tool of our name among words of its own: theirs, and run.
        { "echo done; /nonexistent/bin/pupnik-agent statusline 2>/dev/null; true", {}, "done\n", "" },
        // Run from inside a line we forward, nothing is forwarded a second time.
        { compound, { { "PUPNIK_STATUS_LINE_FORWARDED", "1" } }, "", "refusing to forward again from inside a forwarded status line: " + compound.substr(0, 120) },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.command);
        fs::remove_all(support());
        configure(c.command);
        auto outcome = run(c.environment);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.standardOutput, c.printed);
        expectRecorded();
        EXPECT_EQ(SupportFiles::logMessages(support()), c.logged.empty() ? std::vector<std::string> {} : std::vector<std::string> { c.logged });
    }
}

TEST_F(StatusLine, HangingCommandAndItsChildrenAreStopped)
{
    // The shell ignores SIGTERM and starts a grandchild that does too; both must be gone.
    fs::path pidFile = scratch() / "grandchild.pid";
    std::string command = "trap '' TERM; (trap '' TERM; sh -c 'echo $PPID' > '" + pidFile.string()
        + "'; while :; do sleep 1; done) & echo early; while :; do sleep 1; done";
    configure(command);
    // Long enough for a loaded machine to start the grandchild before the command is stopped.
    auto outcome = run({ { "PUPNIK_FORWARD_TIMEOUT_MS", "3000" } });
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.standardOutput, "");
    expectRecorded();
    EXPECT_EQ(SupportFiles::logMessages(support()), std::vector<std::string> { "forward timed out after 3000 ms: " + command.substr(0, 120) });
    std::ifstream stream(pidFile);
    pid_t grandchild = 0;
    ASSERT_TRUE(stream >> grandchild);
    EXPECT_TRUE(processIsGone(grandchild));
}

// The coding agent gave up on the status line (or its session ended) while the command ran: the
// command and whatever it started end with the tool, which prints nothing.
TEST_F(StatusLine, TerminationSignalStopsTheForwardedCommand)
{
    fs::path shellFile = scratch() / "shell.pid";
    fs::path childFile = scratch() / "child.pid";
    // The shell ignores SIGTERM, so stopping it takes the forced stop as well.
    std::string command = "trap '' TERM; echo $$ > '" + shellFile.string() + "'; (sh -c 'echo $PPID' > '" + childFile.string()
        + ".tmp'; mv '" + childFile.string() + ".tmp' '" + childFile.string() + "'; while :; do sleep 1; done) & while :; do sleep 1; done";
    configure(command);
    for (int signal : { SIGTERM, SIGINT, SIGHUP }) {
        SCOPED_TRACE(signal);
        fs::remove(support() / "events.jsonl");
        fs::remove(childFile);
        AgentProcess process({ "statusline" }, support(), { { "PUPNIK_FORWARD_TIMEOUT_MS", "600000" } });
        process.write(statusInput);
        process.closeInput();
        for (int waited = 0; waited < 2000 && !fs::exists(childFile); ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pid_t shell = 0, child = 0;
        std::ifstream(shellFile) >> shell;
        std::ifstream(childFile) >> child;
        ASSERT_GT(shell, 0);
        ASSERT_GT(child, 0);

        process.signal(signal);
        auto outcome = process.finish();
        EXPECT_TRUE(outcome.exited);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.standardOutput, "");
        EXPECT_TRUE(processIsGone(shell));
        EXPECT_TRUE(processIsGone(child));
        expectRecorded();
        ::kill(-shell, SIGKILL);
    }
}

TEST(StatusLineTimeout, ReadsWholePositiveNumbersOnly)
{
    struct Case {
        char const* value;
        int64_t expected;
    };
    Case const cases[] = {
        { "200", 200 },
        { "+200", 200 },
        { "1", 1 },
        { "0", 5000 },
        { "-10", 5000 },
        { "abc", 5000 },
        { "1.5", 5000 },
        { " 200", 5000 },
        { "200ms", 5000 },
        { "", 5000 },
        { "+", 5000 },
        { "99999999999999999999", 5000 },
        { "9000000000000000000", StatusLineRoad::maxTimeoutMs },
    };
    EXPECT_EQ(StatusLineRoad::timeoutMs({}), 5000);
    for (auto const& c : cases)
        EXPECT_EQ(StatusLineRoad::timeoutMs({ { "PUPNIK_FORWARD_TIMEOUT_MS", c.value } }), c.expected) << '"' << c.value << '"';
}
