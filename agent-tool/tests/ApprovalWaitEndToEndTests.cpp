#include "AgentProcess.hpp"
#include "PawletKit/tests/TestSupport.hpp"
#include "SupportFiles.hpp"

#include "PawletKit/ApplicationLock.hpp"
#include "PawletKit/ApprovalSummary.hpp"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using nlohmann::json;
using TestSupport::TemporaryDirectory;
using namespace std::chrono_literals;

namespace {

constexpr std::string_view allowAnswer = R"({"hookSpecificOutput":{"decision":{"behavior":"allow"},"hookEventName":"PermissionRequest"}})";
constexpr std::string_view denyAnswer
    = R"({"hookSpecificOutput":{"decision":{"behavior":"deny","message":"Denied by the user in Hummo Pawlet."},"hookEventName":"PermissionRequest"}})";

std::string const permissionInput = R"({"session_id":"s-perm","transcript_path":"/t.jsonl","cwd":"/home/u/p","permission_mode":"default","prompt_id":"pr-1","hook_event_name":"PermissionRequest","tool_name":"Bash","tool_input":{"command":"rm -rf build","description":"Clean the build"}})";

class ApprovalWait : public testing::Test {
protected:
    // The application runs: the mailbox is there and its lock is held, here by the test.
    void SetUp() override
    {
        fs::create_directories(approvals());
        m_application = PawletKit::ApplicationLock::acquire(PawletKit::Paths::withBase(support()));
        ASSERT_TRUE(m_application);
    }
    void quitApplication() { m_application.reset(); }

    fs::path support() const { return m_directory.path() / "support"; }
    fs::path approvals() const { return support() / "approvals"; }

    std::unique_ptr<AgentProcess> start(std::string const& input, std::map<std::string, std::string> const& environment = {})
    {
        auto process = std::make_unique<AgentProcess>(std::vector<std::string> { "hook", "PermissionRequest", "Bash" }, support(), environment);
        process->write(input);
        process->closeInput();
        return process;
    }

    // The request the tool posted, once it is there.
    std::optional<json> awaitRequest(AgentProcess& process)
    {
        auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            for (auto const& name : SupportFiles::fileNames(approvals())) {
                if (name.size() > 5 && name.ends_with(".json") && name[0] != '.') {
                    std::ifstream stream(approvals() / name);
                    auto request = json::parse(stream, nullptr, false);
                    if (request.is_object())
                        return request;
                }
            }
            if (process.waitForExit(10ms))
                return std::nullopt;
        }
        return std::nullopt;
    }

    std::vector<std::string> log() const { return SupportFiles::logMessages(support()); }

    // The request is posted before its event is recorded; this waits for the event too.
    std::vector<json> awaitEvents(size_t count) const
    {
        auto deadline = std::chrono::steady_clock::now() + 20s;
        auto events = SupportFiles::events(support());
        while (events.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
            events = SupportFiles::events(support());
        }
        return events;
    }

private:
    TemporaryDirectory m_directory;
    std::optional<PawletKit::ApplicationLock> m_application;
};

}

TEST_F(ApprovalWait, ReplyReachesTheCodingAgent)
{
    struct Case {
        std::string reply;
        std::string_view answer;
        std::string logWord;
    };
    Case const cases[] = {
        { "allow\n", allowAnswer, "ALLOW" },
        { "  deny \n", denyAnswer, "DENY" },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.logWord);
        fs::remove(support() / "events.jsonl");
        fs::remove(support() / "agent.log");
        auto process = start(permissionInput);
        auto request = awaitRequest(*process);
        ASSERT_TRUE(request);
        std::string id = (*request)["id"];
        EXPECT_EQ((*request)["tool"], "Bash");
        auto toolInput = json::parse(permissionInput)["tool_input"];
        auto summary = PawletKit::ApprovalSummary::summarize("Bash", &toolInput, PawletKit::ApprovalSummary::readTargetFile);
        EXPECT_EQ((*request)["target"], summary.target);
        EXPECT_EQ((*request)["summary"], summary.summary);
        EXPECT_EQ((*request)["truncated"], summary.truncated);
        EXPECT_EQ((*request)["sessionId"], "s-perm");
        EXPECT_EQ((*request)["promptId"], "pr-1");
        EXPECT_EQ((*request)["cwd"], "/home/u/p");
        EXPECT_EQ((*request)["permissionMode"], "default");
        EXPECT_EQ((*request)["hookPid"], process->pid());
        EXPECT_NEAR((*request)["expiresAt"].get<double>() - (*request)["createdAt"].get<double>(), 115, 0.001);

        // The request is on record, with its id, while the tool waits.
        auto events = awaitEvents(1);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0]["ev"], "PermissionRequest");
        EXPECT_EQ(events[0]["m"], "Bash");
        EXPECT_EQ(events[0]["data"]["approvalId"], id);
        EXPECT_TRUE(events[0]["data"].contains("proc"));

        SupportFiles::writeAtomically(approvals() / (id + ".reply"), c.reply);
        auto outcome = process->finish();
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.standardOutput, c.answer);
        EXPECT_EQ(SupportFiles::fileNames(approvals()), std::vector<std::string> {});
        EXPECT_EQ(log(), (std::vector<std::string> { "REQ " + id + " tool=Bash wait=115s", c.logWord + " " + id }));
    }
}

TEST_F(ApprovalWait, UnreadableReplyIsNoReply)
{
    auto process = start(permissionInput, { { "PUPNIK_APPROVAL_WAIT_MS", "1500" } });
    auto request = awaitRequest(*process);
    ASSERT_TRUE(request);
    std::string id = (*request)["id"];
    // The application sweeps requests by it, so it must tell when the tool stops waiting.
    EXPECT_NEAR((*request)["expiresAt"].get<double>() - (*request)["createdAt"].get<double>(), 1.5, 0.001);
    SupportFiles::writeAtomically(approvals() / (id + ".reply"), "maybe");
    auto outcome = process->finish();
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_EQ(SupportFiles::fileNames(approvals()), std::vector<std::string> {});
    EXPECT_EQ(log(), (std::vector<std::string> { "REQ " + id + " tool=Bash wait=1s", "TIMEOUT " + id }));
}

TEST_F(ApprovalWait, NoReplyInTimeLeavesTheDecisionToTheCodingAgent)
{
    for (std::string wait : { "0", "300" }) {
        SCOPED_TRACE(wait);
        fs::remove(support() / "agent.log");
        auto outcome = AgentProcess::run({ "hook", "PermissionRequest" }, permissionInput, support(), { { "PUPNIK_APPROVAL_WAIT_MS", wait } });
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.standardOutput, "");
        EXPECT_EQ(SupportFiles::fileNames(approvals()), std::vector<std::string> {});
        auto messages = log();
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_TRUE(messages[0].starts_with("REQ ") && messages[0].ends_with(" tool=Bash wait=0s")) << messages[0];
        EXPECT_TRUE(messages[1].starts_with("TIMEOUT ")) << messages[1];
    }
}

TEST_F(ApprovalWait, TerminationSignalRemovesTheRequest)
{
    for (int signal : { SIGTERM, SIGINT, SIGHUP }) {
        SCOPED_TRACE(signal);
        auto process = start(permissionInput);
        ASSERT_TRUE(awaitRequest(*process));
        process->signal(signal);
        auto outcome = process->finish();
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.standardOutput, "");
        EXPECT_EQ(SupportFiles::fileNames(approvals()), std::vector<std::string> {});
    }
}

TEST_F(ApprovalWait, SignalDuringThePostStillRemovesTheRequest)
{
    // Signals sent in a burst from the moment the tool starts: whichever instant one lands at, the
    // tool either dies before posting anything or cleans up after itself.
    for (int attempt = 0; attempt < 20; ++attempt) {
        AgentProcess process({ "hook", "PermissionRequest" }, support());
        process.write(permissionInput);
        process.closeInput();
        std::this_thread::sleep_for(std::chrono::microseconds(500 * attempt));
        process.signal(SIGTERM);
        process.finish();
        EXPECT_EQ(SupportFiles::fileNames(approvals()), std::vector<std::string> {}) << "attempt " << attempt;
    }
}

TEST_F(ApprovalWait, DisabledWaitOnlyRecordsTheEvent)
{
    auto outcome = AgentProcess::run({ "hook", "PermissionRequest" }, permissionInput, support(), { { "PUPNIK_APPROVAL_DISABLED", "TRUE" } });
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_EQ(SupportFiles::fileNames(approvals()), std::vector<std::string> {});
    EXPECT_FALSE(fs::exists(support() / "agent.log"));
    auto events = SupportFiles::events(support());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0]["data"].contains("approvalId"));
    EXPECT_EQ(events[0]["data"]["tool_name"], "Bash");
}

TEST_F(ApprovalWait, MissingMailboxIsLoggedAndTheEventStillRecorded)
{
    fs::remove_all(approvals());
    std::string input = R"({"session_id":"s","tool_input":{"command":"ls"}})";
    // A short wait, should the request be posted after all.
    auto outcome = AgentProcess::run({ "hook", "PermissionRequest" }, input, support(), { { "PUPNIK_APPROVAL_WAIT_MS", "1000" } });
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_FALSE(fs::exists(approvals()));
    auto events = SupportFiles::events(support());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0]["data"].contains("approvalId"));
    auto messages = log();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].starts_with("REQ ")) << messages[0];
    EXPECT_TRUE(messages[0].ends_with(" tool=? could not be written to " + approvals().string())) << messages[0];
}

TEST_F(ApprovalWait, UnparsablePermissionRequestIsAPlainEvent)
{
    auto outcome = AgentProcess::run({ "hook", "PermissionRequest" }, "[1, 2", support());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_EQ(SupportFiles::fileNames(approvals()), std::vector<std::string> {});
    auto events = SupportFiles::events(support());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["data"], json::object());
}

TEST_F(ApprovalWait, RequestWithoutToolNameIsPostedAsQuestionMark)
{
    auto process = start(R"({"session_id":"s"})");
    auto request = awaitRequest(*process);
    ASSERT_TRUE(request);
    EXPECT_EQ((*request)["tool"], "?");
    EXPECT_EQ((*request)["sessionId"], "s");
    EXPECT_EQ((*request)["promptId"], "");
    process->signal(SIGTERM);
    EXPECT_EQ(process->finish().status, 0);
}

TEST_F(ApprovalWait, DeeplyNestedRequestIsStillPosted)
{
    // Four megabytes of nesting in the tool input: summarising it as parsed would overflow the stack.
    size_t const depth = 2'000'000;
    std::string input = R"({"session_id":"deep","tool_name":"Mystery","tool_input":)" + std::string(depth, '[') + std::string(depth, ']') + "}";
    auto outcome = AgentProcess::run({ "hook", "PermissionRequest" }, input, support(), { { "PUPNIK_APPROVAL_WAIT_MS", "0" } });
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.standardOutput, "");
    auto messages = log();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].ends_with(" tool=Mystery wait=0s")) << messages[0];
    EXPECT_EQ(SupportFiles::fileNames(approvals()), std::vector<std::string> {});
}

TEST_F(ApprovalWait, WithoutTheApplicationTheRequestIsOnlyRecorded)
{
    // The mailbox is left from an earlier run; nobody would answer, so the tool must not wait the
    // default 115 s (the process would then miss its 30 s to finish).
    struct Case {
        char const* name;
        std::function<void(fs::path const&)> prepareLockFile;
    };
    Case const cases[] = {
        { "lock file left behind", [](fs::path const&) {} },
        { "no lock file", [](fs::path const& lock) { fs::remove(lock); } },
        { "FIFO planted at the lock file", [](fs::path const& lock) {
             fs::remove(lock);
             ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0);
         } },
    };
    quitApplication();
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(support() / "events.jsonl");
        c.prepareLockFile(support() / "Pupnik.lock");
        auto process = start(permissionInput);
        auto outcome = process->finish(30s);
        EXPECT_TRUE(outcome.exited);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.standardOutput, "");
        EXPECT_EQ(SupportFiles::fileNames(approvals()), std::vector<std::string> {});
        EXPECT_FALSE(fs::exists(support() / "agent.log"));
        auto events = SupportFiles::events(support());
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0]["ev"], "PermissionRequest");
        EXPECT_EQ(events[0]["data"]["tool_name"], "Bash");
        EXPECT_FALSE(events[0]["data"].contains("approvalId"));
    }
}
