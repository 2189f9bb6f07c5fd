#include "PawletKit/SpoolEvent.hpp"
#include "PawletKit/tests/TestSupport.hpp"
#include "Pupnik/EngineDriver.hpp"
#include "platform/ManualScheduler.hpp"

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Pupnik;
using PawletKit::ApprovalDecision;
using PawletKit::ApprovalRequest;

namespace {

class NoProcesses final : public PawletKit::ProcessSampler {
public:
    bool isAvailable() const override { return true; }
    std::vector<PawletKit::ProcessSample> sample(PawletKit::ProcessNames const&) override { return {}; }
};

// A driver over a temporary support folder, on a scheduler and clock that move only when told.
struct DriverFixture {
    TestSupport::TemporaryDirectory folder;
    PawletKit::Paths paths = PawletKit::Paths::withBase(folder.path() / "support");
    Platform::ManualScheduler scheduler;
    Platform::ManualClock clock { 1'800'000'000, 500 };
    std::unique_ptr<EngineDriver> driver;
    std::vector<PawletKit::PawletState> states;
    std::vector<std::vector<std::string>> approvalLists;

    explicit DriverFixture(std::optional<std::filesystem::path> codexDir = std::nullopt)
    {
        paths.ensureSupportDirectory();
        EngineDriver::Sources sources;
        sources.codexSessionsDir = codexDir.value_or(folder.path() / "no-codex");
        sources.sampler = std::make_shared<NoProcesses>();
        driver = std::make_unique<EngineDriver>(paths, sources, scheduler, clock);
        driver->onState = [this](auto const& state) { states.push_back(state); };
        driver->onApprovals = [this](auto const& list) {
            std::vector<std::string> ids;
            for (auto const& request : list)
                ids.push_back(request.id);
            approvalLists.push_back(ids);
        };
    }

    void appendEvent(std::string const& name, std::string const& sid)
    {
        PawletKit::JSON::Value input { { "session_id", sid }, { "tool_name", "Bash" } };
        auto event = PawletKit::SpoolEvent::make(name, std::nullopt, &input, clock.now());
        TestSupport::appendFile(paths.spool(), event.jsonLine());
    }

    // Moves both the driver's timers and its clock.
    void advance(double seconds)
    {
        clock.advance(seconds);
        scheduler.advance(seconds);
    }

    ApprovalRequest request(std::string const& id, std::string const& sid, double createdAt, int64_t pid)
    {
        ApprovalRequest request;
        request.id = id;
        request.tool = "Bash";
        request.sessionId = sid;
        request.hookPid = pid;
        request.createdAt = createdAt;
        request.expiresAt = createdAt + 115;
        return request;
    }
};

}

TEST(EngineDriver, OnlyLinesWrittenAfterStartAreIngested)
{
    DriverFixture f;
    f.appendEvent("PreToolUse", "old-session");
    f.driver->start();
    ASSERT_EQ(f.states.size(), 1u);
    EXPECT_EQ(f.states.back().knownSessions, 0);
    EXPECT_EQ(f.driver->eventsSeen(), 0);

    f.appendEvent("PreToolUse", "new-session");
    f.advance(EngineDriver::tickInterval);
    ASSERT_EQ(f.states.size(), 2u);
    EXPECT_EQ(f.driver->eventsSeen(), 1);
    EXPECT_EQ(f.states.back().knownSessions, 1);

    f.driver->stop();
    f.advance(10);
    EXPECT_EQ(f.states.size(), 2u);
}

TEST(EngineDriver, AWaitingRequestSurvivesStartWhileStaleOnesAreSwept)
{
    DriverFixture f;
    PawletKit::ApprovalStore store(f.paths.approvalsDirectory());
    store.ensureDirectory();
    double now = f.clock.now();
    ASSERT_TRUE(store.write(f.request("alive", "s1", now - 5, ::getpid())));
    ASSERT_TRUE(store.write(f.request("expired", "s2", now - 400, ::getpid())));

    f.driver->start();
    EXPECT_TRUE(store.request("alive"));
    EXPECT_FALSE(store.request("expired"));
    ASSERT_EQ(f.approvalLists.size(), 1u);
    EXPECT_EQ(f.approvalLists.back(), std::vector<std::string> { "alive" });

    // The answer reaches an agent tool that was already waiting before this run.
    EXPECT_TRUE(f.driver->answer("alive", ApprovalDecision::allow));
    EXPECT_EQ(store.readReply("alive"), ApprovalDecision::allow);
}

TEST(EngineDriver, ApprovalListChangesAreReportedOnceAndAnswersUpdateEveryone)
{
    DriverFixture f;
    f.driver->start();
    PawletKit::ApprovalStore store(f.paths.approvalsDirectory());
    ASSERT_TRUE(store.write(f.request("r1", "s1", f.clock.now(), ::getpid())));
    f.advance(EngineDriver::tickInterval);
    f.advance(EngineDriver::tickInterval);
    ASSERT_EQ(f.approvalLists.size(), 1u);
    EXPECT_EQ(f.driver->engine().pendingApprovalSids(), std::set<std::string> { "s1" });

    size_t statesBefore = f.states.size();
    testing::internal::CaptureStderr();
    EXPECT_TRUE(f.driver->answer("r1", ApprovalDecision::deny));
    auto log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("[Pupnik] approval: deny r1\n"), std::string::npos) << log;
    ASSERT_EQ(f.approvalLists.size(), 2u);
    EXPECT_TRUE(f.approvalLists.back().empty());
    EXPECT_EQ(f.states.size(), statesBefore + 1);
    EXPECT_TRUE(f.driver->engine().pendingApprovalSids().empty());

    // The agent tool takes its reply and removes both files; a second answer finds nothing.
    store.remove("r1");
    EXPECT_FALSE(f.driver->answer("r1", ApprovalDecision::allow));
    EXPECT_FALSE(f.driver->answer("never-was", ApprovalDecision::allow));
}

TEST(EngineDriver, RemovalByTheAgentIsReportedWithTheShorterList)
{
    DriverFixture f;
    f.driver->start();
    PawletKit::ApprovalStore store(f.paths.approvalsDirectory());
    ASSERT_TRUE(store.write(f.request("a", "s1", f.clock.now(), ::getpid())));
    f.advance(EngineDriver::tickInterval);
    store.remove("a");
    f.advance(EngineDriver::tickInterval);
    ASSERT_EQ(f.approvalLists.size(), 2u);
    EXPECT_TRUE(f.approvalLists.back().empty());
}

TEST(EngineDriver, CodexSwitchedOffStillExcludesCodexFromProcessSampling)
{
    TestSupport::TemporaryDirectory codex;
    DriverFixture f(codex.path());
    f.driver->codexEnabled = false;
    f.driver->claudeHooksInstalled = [] { return true; };
    f.driver->start();
    EXPECT_EQ(f.driver->processes().excludedNames, (PawletKit::ProcessNames { "claude", "codex" }));
    f.advance(5);
    EXPECT_EQ(f.driver->codexEventsSeen(), 0);
}

// A user without Codex reads one line about it, at start, however many ticks pass; one with Codex
// reads none of it.
TEST(EngineDriver, MissingCodexIsLoggedOnceAtStart)
{
    TestSupport::TemporaryDirectory codex;
    struct Case {
        char const* name;
        std::optional<std::filesystem::path> codexDir;
        bool logged;
    };
    Case const cases[] = {
        { "no Codex", std::nullopt, true },
        { "Codex", codex.path(), false },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        DriverFixture f(c.codexDir);
        testing::internal::CaptureStderr();
        f.driver->start();
        for (int tick = 0; tick < 8; ++tick)
            f.advance(EngineDriver::tickInterval);
        auto log = testing::internal::GetCapturedStderr();
        auto const line = "[Pupnik] codex: not installed (no " + (f.folder.path() / "no-codex").string() + ")\n";
        auto const first = log.find(line);
        EXPECT_EQ(first != std::string::npos, c.logged) << log;
        if (c.logged) {
            EXPECT_EQ(log.find("[Pupnik] codex:", first + 1), std::string::npos) << log;
        }
    }
}

// The agent tool writes nothing there and says so only in its own log; the application's log names
// the path and why its events are not read, once, however many ticks pass.
TEST(EngineDriver, SomethingOtherThanAFileAtTheEventFileIsLoggedOnce)
{
    struct Case {
        char const* kind;
        std::function<void(std::filesystem::path const&)> plant;
    };
    Case const cases[] = {
        { "a FIFO", [](auto const& spool) { ASSERT_EQ(::mkfifo(spool.c_str(), 0600), 0); } },
        { "a symbolic link", [](auto const& spool) { std::filesystem::create_symlink("/dev/null", spool); } },
        { "a folder", [](auto const& spool) { std::filesystem::create_directory(spool); } },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.kind);
        DriverFixture f;
        c.plant(f.paths.spool());
        testing::internal::CaptureStderr();
        f.driver->start();
        for (int tick = 0; tick < 8; ++tick)
            f.advance(EngineDriver::tickInterval);
        auto log = testing::internal::GetCapturedStderr();
        auto line = "[Pupnik] spool: " + f.paths.spool().string() + " is " + c.kind + ", not a regular file; skipped\n";
        auto first = log.find(line);
        EXPECT_NE(first, std::string::npos) << log;
        EXPECT_EQ(log.find(line, first + 1), std::string::npos) << log;
        EXPECT_EQ(log.find("[Pupnik] spool:"), first) << log;
        EXPECT_EQ(f.driver->eventsSeen(), 0);
    }
}

TEST(EngineDriver, StaleRequestsAreSweptOnceASecond)
{
    DriverFixture f;
    f.driver->start();
    PawletKit::ApprovalStore store(f.paths.approvalsDirectory());
    // Made long ago, so the sweep finds it stale although its agent tool still runs.
    auto postStale = [&](std::string const& id) { ASSERT_TRUE(store.write(f.request(id, "s-" + id, f.clock.now() - 400, ::getpid()))); };

    postStale("first");
    testing::internal::CaptureStderr();
    for (int tick = 1; tick <= 3; ++tick) {
        f.advance(EngineDriver::tickInterval);
        EXPECT_TRUE(store.request("first")) << "swept after " << tick << " ticks";
    }
    f.advance(EngineDriver::tickInterval);
    EXPECT_FALSE(store.request("first")) << "a second after start";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Pupnik] approval: swept orphan first\n");

    postStale("second");
    testing::internal::CaptureStderr();
    for (int tick = 1; tick <= 3; ++tick) {
        f.advance(EngineDriver::tickInterval);
        EXPECT_TRUE(store.request("second")) << "swept " << tick << " ticks after the last sweep";
    }
    f.advance(EngineDriver::tickInterval);
    EXPECT_FALSE(store.request("second")) << "a second after the last sweep";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Pupnik] approval: swept orphan second\n");
    EXPECT_EQ(f.approvalLists, (std::vector<std::vector<std::string>> { { "first" }, {}, { "second" }, {} }));
}

TEST(EngineDriver, ProcessExclusionsAreReadAgainEveryTenSeconds)
{
    DriverFixture f;
    bool hooksInstalled = false;
    int asked = 0;
    f.driver->claudeHooksInstalled = [&] {
        ++asked;
        return hooksInstalled;
    };
    f.driver->start();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(f.driver->processes().excludedNames.empty());

    // Each change shows at the next refresh, ten seconds after the one before, and not a tick sooner.
    for (bool const installed : { true, false }) {
        SCOPED_TRACE(installed ? "hooks installed" : "hooks removed");
        hooksInstalled = installed;
        int const before = asked;
        for (int tick = 1; tick < 40; ++tick)
            f.advance(EngineDriver::tickInterval);
        EXPECT_EQ(asked, before);
        EXPECT_EQ(f.driver->processes().excludedNames.contains("claude"), !installed);
        f.advance(EngineDriver::tickInterval);
        EXPECT_EQ(asked, before + 1);
        EXPECT_EQ(f.driver->processes().excludedNames.contains("claude"), installed);
    }
}
