#include "AgentProcess.hpp"
#include "PawletKit/tests/TestSupport.hpp"
#include "SupportFiles.hpp"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using nlohmann::json;
using TestSupport::TemporaryDirectory;
using namespace std::chrono_literals;

namespace {

constexpr std::string_view usageLine = "usage: pupnik-agent hook <EventName> [matcher] | statusline | selftest\n";

class HookRoad : public testing::Test {
protected:
    fs::path support() const { return m_directory.path() / "support"; }

    AgentProcess::Outcome run(std::vector<std::string> const& arguments, std::string_view input,
        std::map<std::string, std::string> const& environment = {})
    {
        return AgentProcess::run(arguments, input, support(), environment);
    }

    // The one event written, checked for a clean exit with nothing printed.
    json onlyEvent(AgentProcess::Outcome const& outcome)
    {
        EXPECT_TRUE(outcome.exited);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.standardOutput, "");
        EXPECT_EQ(outcome.standardError, "");
        auto events = SupportFiles::events(support());
        EXPECT_EQ(events.size(), 1u);
        return events.empty() ? json() : events.back();
    }

private:
    TemporaryDirectory m_directory;
};

// The chain must start at the process that ran the hook: this test.
void expectOwnProcessChain(json const& data)
{
    ASSERT_TRUE(data.contains("proc"));
    auto const& pids = data["proc"]["pids"];
    ASSERT_TRUE(pids.is_array());
    ASSERT_FALSE(pids.empty());
    EXPECT_EQ(pids[0], ::getpid());
    EXPECT_EQ(data["proc"]["names"].size(), pids.size());
}

}

TEST_F(HookRoad, RecordsTheCodingAgentsHookInputs)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string input;
        json expectedMatcher;
        json expectedSession;
        json expectedData;
    };
    Case const cases[] = {
        { { "hook", "PreToolUse", "Bash" },
            R"({"session_id":"s-pre","transcript_path":"/home/u/.claude/projects/-home-u-p/s-pre.jsonl","cwd":"/home/u/p","permission_mode":"default","hook_event_name":"PreToolUse","tool_name":"Bash","tool_input":{"command":"rm -rf build","description":"Clean"},"tool_use_id":"toolu_01A"})",
            "Bash", "s-pre",
            { { "session_id", "s-pre" }, { "cwd", "/home/u/p" }, { "permission_mode", "default" }, { "hook_event_name", "PreToolUse" }, { "tool_name", "Bash" }, { "tool_use_id", "toolu_01A" } } },
        { { "hook", "PostToolUse", "Edit|Write" },
            R"({"session_id":"s-post","transcript_path":"/t.jsonl","cwd":"/p","permission_mode":"acceptEdits","hook_event_name":"PostToolUse","tool_name":"Edit","tool_input":{"file_path":"/p/a.c","old_string":"a","new_string":"b"},"tool_response":{"filePath":"/p/a.c","success":true},"tool_use_id":"toolu_01B"})",
            "Edit|Write", "s-post",
            { { "session_id", "s-post" }, { "cwd", "/p" }, { "permission_mode", "acceptEdits" }, { "hook_event_name", "PostToolUse" }, { "tool_name", "Edit" }, { "tool_use_id", "toolu_01B" } } },
        // A fourth word is ignored.
        { { "hook", "Notification", "permission_prompt", "extra" },
            R"({"session_id":"s-note","transcript_path":"/t.jsonl","cwd":"/p","hook_event_name":"Notification","message":"Claude needs your permission to use Bash","notification_type":"permission_prompt"})",
            "permission_prompt", "s-note",
            { { "session_id", "s-note" }, { "cwd", "/p" }, { "hook_event_name", "Notification" }, { "notification_type", "permission_prompt" } } },
        { { "hook", "Stop" },
            R"({"session_id":"s-stop","transcript_path":"/t.jsonl","cwd":"/p","permission_mode":"plan","hook_event_name":"Stop","stop_hook_active":false})",
            nullptr, "s-stop",
            { { "session_id", "s-stop" }, { "cwd", "/p" }, { "permission_mode", "plan" }, { "hook_event_name", "Stop" }, { "stop_hook_active", false } } },
        { { "hook", "SessionStart", "startup" },
            R"({"session_id":"s-start","transcript_path":"/t.jsonl","cwd":"/p","hook_event_name":"SessionStart","source":"startup","model":"claude-sonnet-4-5"})",
            "startup", "s-start",
            { { "session_id", "s-start" }, { "cwd", "/p" }, { "hook_event_name", "SessionStart" }, { "source", "startup" }, { "model", "claude-sonnet-4-5" } } },
        { { "hook", "UserPromptSubmit", "" },
            R"({"session_id":"s-prompt","transcript_path":"/t.jsonl","cwd":"/p","permission_mode":"default","hook_event_name":"UserPromptSubmit","prompt":"Refactor the parser"})",
            nullptr, "s-prompt",
            { { "session_id", "s-prompt" }, { "cwd", "/p" }, { "permission_mode", "default" }, { "hook_event_name", "UserPromptSubmit" } } },
        // A chain sent by the coding agent is replaced by the tool's own.
        { { "hook", "Stop" },
            R"({"session_id":"s-proc","proc":{"pids":[99999],"names":["forged"],"tty":"ttys009"}})",
            nullptr, "s-proc",
            { { "session_id", "s-proc" } } },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.input);
        fs::remove_all(support());
        auto event = onlyEvent(run(c.arguments, c.input));
        EXPECT_EQ(event["v"], 1);
        EXPECT_EQ(event["ev"], c.arguments[1]);
        EXPECT_EQ(event["m"], c.expectedMatcher);
        EXPECT_EQ(event["sid"], c.expectedSession);
        EXPECT_TRUE(event["ts"].is_number() && event["ts"].get<double>() > 1.6e9);
        json data = event["data"];
        expectOwnProcessChain(data);
        EXPECT_NE(data["proc"]["names"], json::array({ "forged" }));
        data.erase("proc");
        EXPECT_EQ(data, c.expectedData);
    }
}

TEST_F(HookRoad, WrongCommandLinesWriteTheUsageLine)
{
    std::vector<std::string> const commandLines[] = { {}, { "help" }, { "--help" }, { "HOOK", "Stop" }, { "" } };
    for (auto const& arguments : commandLines) {
        auto outcome = run(arguments, "{}");
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.standardError, usageLine);
        EXPECT_EQ(outcome.standardOutput, "");
    }
    EXPECT_FALSE(fs::exists(support() / "events.jsonl"));
}

TEST_F(HookRoad, MissingEventNameIsLoggedAndNothingRecorded)
{
    std::vector<std::string> const commandLines[] = { { "hook" }, { "hook", "" } };
    for (auto const& arguments : commandLines) {
        auto outcome = run(arguments, R"({"session_id":"s"})");
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.standardOutput + outcome.standardError, "");
    }
    EXPECT_FALSE(fs::exists(support() / "events.jsonl"));
    EXPECT_EQ(SupportFiles::logMessages(support()), std::vector<std::string>(2, "hook: missing event name"));
}

TEST_F(HookRoad, SilentWriterGivesAnEventWithEmptyData)
{
    AgentProcess process({ "hook", "Stop" }, support());
    // The input stays open: the tool must give up on its own.
    EXPECT_TRUE(process.waitForExit(10s));
    auto event = onlyEvent(process.finish());
    EXPECT_EQ(event["data"], json::object());
    EXPECT_EQ(event["sid"], nullptr);
}

TEST_F(HookRoad, StalledWriterIsCutOffAndWhatCameIsSalvaged)
{
    AgentProcess process({ "hook", "PreToolUse" }, support());
    ASSERT_TRUE(process.write(R"({"session_id":"stalled","tool_name":"Bash","tool_input":{"command":"l)"));
    EXPECT_TRUE(process.waitForExit(10s));
    auto event = onlyEvent(process.finish());
    json data = event["data"];
    expectOwnProcessChain(data);
    data.erase("proc");
    EXPECT_EQ(data, json({ { "session_id", "stalled" }, { "tool_name", "Bash" } }));
    EXPECT_EQ(event["sid"], "stalled");
}

TEST_F(HookRoad, InputPastTheCapIsCutSalvagedAndDrained)
{
    // Valid JSON of 70,000 bytes whose last member lies past the 64 KiB cap: only the salvaged
    // strings before the cut arrive. As a permission request (4 MiB cap) the same input parses whole.
    std::string const head = R"({"session_id":"big","hook_event_name":"PreToolUse","tool_name":"Write","cwd":"/p","tool_input":{"file_path":"/p/f","content":")";
    std::string const tail = R"("},"permission_mode":"bypassPermissions"})";
    std::string const input = head + std::string(70'000 - head.size() - tail.size(), 'x') + tail;
    ASSERT_EQ(input.size(), 70'000u);
    ASSERT_TRUE(json::accept(input));

    // Written as the coding agent writes it, while the tool runs: every byte is taken, none refused.
    AgentProcess process({ "hook", "PreToolUse" }, support());
    EXPECT_TRUE(process.write(input));
    auto cut = onlyEvent(process.finish());
    json data = cut["data"];
    expectOwnProcessChain(data);
    data.erase("proc");
    EXPECT_EQ(data, json({ { "session_id", "big" }, { "hook_event_name", "PreToolUse" }, { "tool_name", "Write" }, { "cwd", "/p" } }));

    fs::remove_all(support());
    auto whole = onlyEvent(run({ "hook", "PermissionRequest" }, input, { { "PUPNIK_APPROVAL_DISABLED", "1" } }));
    EXPECT_EQ(whole["data"]["permission_mode"], "bypassPermissions");
}

TEST_F(HookRoad, InputThatIsNoObjectGivesEmptyData)
{
    std::string const inputs[] = { R"(["session_id","s"])", "42", R"("text")", "not json at all", "" };
    for (auto const& input : inputs) {
        SCOPED_TRACE(input);
        fs::remove_all(support());
        auto event = onlyEvent(run({ "hook", "PreToolUse" }, input));
        EXPECT_EQ(event["data"], json::object());
    }
}

TEST_F(HookRoad, UnwritableEventFileIsLoggedAndTheHookStillSucceeds)
{
    fs::create_directories(support() / "events.jsonl");
    auto outcome = run({ "hook", "PreToolUse" }, R"({"session_id":"s"})");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.standardOutput + outcome.standardError, "");
    auto messages = SupportFiles::logMessages(support());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("append(PreToolUse) failed: ", 0), 0u) << messages[0];
}

TEST_F(HookRoad, ConcurrentHooksLandWholeLines)
{
    constexpr int count = 32;
    // Lines of a few kilobytes each, so that interleaved or torn writes would show. Each input is ready
    // before its tool starts: a tool kept from its first byte past the first-byte limit (the machine
    // busy starting the other 31) rightly records an event without a session.
    std::vector<std::unique_ptr<AgentProcess>> processes;
    std::set<std::string> expected;
    for (int i = 0; i < count; ++i) {
        std::string session = "session-" + std::to_string(i);
        expected.insert(session);
        json input = { { "session_id", session }, { "tool_name", "Bash" }, { "cwd", "/" + std::string(390, 'a' + i % 26) },
            { "model", { { "display_name", std::string(390, 'm') }, { "id", std::string(390, 'i') } } },
            { "cost", { { "a", std::string(390, 'c') }, { "b", std::string(390, 'c') }, { "c", std::string(390, 'c') } } } };
        processes.push_back(AgentProcess::withInputReady({ "hook", "PreToolUse" }, input.dump(), support()));
    }
    for (auto& process : processes) {
        auto outcome = process->finish();
        EXPECT_TRUE(outcome.exited);
        EXPECT_EQ(outcome.status, 0);
    }
    auto events = SupportFiles::events(support());
    ASSERT_EQ(events.size(), size_t(count));
    std::set<std::string> sessions;
    for (auto const& event : events) {
        ASSERT_TRUE(event.is_object());
        sessions.insert(event["sid"].get<std::string>());
        EXPECT_EQ(event["data"]["cwd"].get<std::string>().size(), 391u);
    }
    EXPECT_EQ(sessions, expected);
}

TEST_F(HookRoad, SelfTestRecordsItsEventAndPrintsTheEventFile)
{
    fs::create_directories(support());
    SupportFiles::writeAtomically(support() / "events.jsonl", R"({"v":1,"ts":1,"ev":"Stop","m":null,"sid":null,"data":{}})"
                                                              "\n");
    auto outcome = run({ "selftest" }, "");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.standardOutput, (support() / "events.jsonl").string() + "\n");
    auto events = SupportFiles::events(support());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1]["ev"], "selftest");
    EXPECT_EQ(events[1]["sid"], "selftest");
    EXPECT_EQ(events[1]["m"], nullptr);
    EXPECT_EQ(events[1]["data"], json({ { "session_id", "selftest" }, { "hook_event_name", "selftest" } }));
}

// A FIFO planted at the event file or the log would hold every hook call in open for good.
TEST_F(HookRoad, PlantedFifosNeverHoldAHook)
{
    struct Case {
        char const* name;
        std::vector<std::string> fifos;
        bool recorded;
        std::vector<std::string> logged;
    };
    Case const cases[] = {
        { "at the event file", { "events.jsonl" }, false, { "append(PreToolUse) failed: open: not a regular file" } },
        { "at the log", { "agent.log" }, true, {} },
        { "at both", { "events.jsonl", "agent.log" }, false, {} },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(support());
        fs::create_directories(support());
        for (auto const& name : c.fifos)
            ASSERT_EQ(::mkfifo((support() / name).c_str(), 0600), 0);

        auto outcome = run({ "hook", "PreToolUse" }, R"({"session_id":"s"})");
        EXPECT_TRUE(outcome.exited);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.standardOutput + outcome.standardError, "");
        auto selfTest = run({ "selftest" }, "");
        EXPECT_TRUE(selfTest.exited);
        EXPECT_EQ(selfTest.standardOutput, (support() / "events.jsonl").string() + "\n");

        if (c.recorded) {
            auto events = SupportFiles::events(support());
            ASSERT_EQ(events.size(), 2u);
            EXPECT_EQ(events[0]["sid"], "s");
            EXPECT_EQ(events[1]["ev"], "selftest");
        } else {
            EXPECT_EQ(fs::status(support() / "events.jsonl").type(), fs::file_type::fifo);
        }
        if (fs::is_regular_file(support() / "agent.log")) {
            auto expected = c.logged;
            if (!expected.empty())
                expected.push_back("append(selftest) failed: open: not a regular file");
            EXPECT_EQ(SupportFiles::logMessages(support()), expected);
        }
    }
}
