#include "EngineTimeline.hpp"

#include <gtest/gtest.h>

using namespace PawletKit;
using namespace EngineTesting;

namespace {

JSON::Value chainData(std::vector<int32_t> pids, std::vector<std::string> names, std::optional<std::string> tty, std::optional<std::string> cwd)
{
    JSON::Value data = JSON::Value::object();
    data["proc"] = ProcInfo(std::move(pids), std::move(names), std::move(tty)).jsonObject();
    if (cwd)
        data["cwd"] = *cwd;
    return data;
}

std::vector<std::string> sidsOf(std::vector<SessionTarget> const& targets)
{
    std::vector<std::string> sids;
    for (auto const& target : targets)
        sids.push_back(target.sid);
    return sids;
}

}

TEST(SessionTargets, EachSourceKind)
{
    struct Case {
        std::string sid;
        SessionSource source;
        std::vector<int32_t> pids;
        std::vector<std::string> names;
        std::optional<std::string> tty;
    } const cases[] = {
        { "c1", SessionSource::claude, { 300, 200 }, { "claude", "zsh" }, "ttys003" },
        { "codex:abc", SessionSource::codex, {}, {}, {} },
        { "proc:node:1234", SessionSource::process, { 1234 }, { "node" }, {} },
        { "proc:my:tool:77", SessionSource::process, { 77 }, { "my:tool" }, {} },
        { "proc:1234", SessionSource::process, { 1234 }, {}, {} },
        { "proc:node:+12", SessionSource::process, { 12 }, { "node" }, {} },
        { "proc:node:", SessionSource::process, {}, {}, {} },
        { "proc:node:0", SessionSource::process, {}, {}, {} },
        { "proc:node:-5", SessionSource::process, {}, {}, {} },
        { "proc:node:+", SessionSource::process, {}, {}, {} },
        { "proc:node:12a", SessionSource::process, {}, {}, {} },
        { "proc:node:2147483648", SessionSource::process, {}, {}, {} },
        { "proc:", SessionSource::process, {}, {}, {} },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.sid);
        Timeline timeline;
        // Every event carries a chain; only the coding agent's own sessions use it.
        timeline.tick(1000, { hook(1000, "PermissionRequest", c.sid, chainData({ 300, 200 }, { "claude", "zsh" }, "ttys003", "/work")) });
        auto targets = timeline.engine.sessionTargets(Date::fromSeconds(1001));
        ASSERT_EQ(targets.size(), 1u);
        SessionTarget expected { .sid = c.sid, .source = c.source, .pids = c.pids, .names = c.names, .tty = c.tty, .cwd = "/work", .since = Date::fromSeconds(1000) };
        EXPECT_EQ(targets[0], expected);
    }
}

TEST(SessionTargets, ClaudeSessionWithoutAChain)
{
    Timeline timeline;
    timeline.tick(1000, { hook(1000, "PermissionRequest", "c") });
    SessionTarget expected { .sid = "c", .source = SessionSource::claude, .pids = {}, .names = {}, .tty = {}, .cwd = {}, .since = Date::fromSeconds(1000) };
    EXPECT_EQ(timeline.engine.sessionTargets(Date::fromSeconds(1000)), std::vector<SessionTarget> { expected });
}

TEST(SessionTargets, LatestFirstWithPendingApprovals)
{
    Timeline timeline;
    EXPECT_TRUE(timeline.engine.sessionTargets(Date::fromSeconds(1000)).empty());

    timeline.tick(1000, {
                            notification(1000, "permission_prompt", "b2"),
                            notification(1000, "permission_prompt", "a1"),
                            hook(1200, "PermissionRequest", "solo"),
                            hook(1200, "PreToolUse", "busy"),
                            hook(1300, "PermissionRequest", "late", chainData({ 42 }, { "zsh" }, {}, "/late")),
                        });
    timeline.engine.setPendingApprovalSids({ "late", "untracked", "busy", "codex:q", "a1" });

    double now = 2900;
    auto targets = timeline.engine.sessionTargets(Date::fromSeconds(now));
    // a1 and b2 have waited 1900 s: over. Pending approvals without a running wait are listed as of now.
    EXPECT_EQ(sidsOf(targets), (std::vector<std::string> { "a1", "busy", "codex:q", "untracked", "late", "solo" }));
    ASSERT_EQ(targets.size(), 6u);
    EXPECT_EQ(targets[0].since, Date::fromSeconds(now));
    EXPECT_EQ(targets[2].source, SessionSource::codex);
    EXPECT_EQ(targets[3], (SessionTarget { .sid = "untracked", .source = SessionSource::claude, .pids = {}, .names = {}, .tty = {}, .cwd = {}, .since = Date::fromSeconds(now) }));
    // The pending approval whose session also waits is listed once, from when it began to wait.
    EXPECT_EQ(targets[4].since, Date::fromSeconds(1300));
    EXPECT_EQ(targets[4].pids, std::vector<int32_t> { 42 });
    EXPECT_EQ(targets[4].cwd, "/late");

    // Two waits that began at the same instant go by session id.
    auto earlier = timeline.engine.sessionTargets(Date::fromSeconds(1250));
    EXPECT_EQ(sidsOf(earlier), (std::vector<std::string> { "late", "busy", "codex:q", "untracked", "solo", "a1", "b2" }));
}

TEST(SessionTargets, WaitTimeoutBoundary)
{
    struct Case {
        double age;
        bool listed;
    } const cases[] = { { 0, true }, { 1799.9, true }, { 1800, false }, { 5000, false } };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.age);
        Timeline timeline;
        timeline.tick(1000, { hook(1000, "PermissionRequest") });
        EXPECT_EQ(timeline.engine.sessionTargets(Date::fromSeconds(1000 + c.age)).size(), c.listed ? 1u : 0u);
    }
}

TEST(SessionTargets, BusyOrNotPlaysNoPart)
{
    Timeline timeline;
    // A notification of another kind makes the session busy again without ending its wait.
    auto state = timeline.tick(1000, { hook(1000, "PermissionRequest"), notification(1000, "idle_prompt") });
    EXPECT_EQ(state.busySessions, 1);
    EXPECT_EQ(timeline.engine.sessionTargets(Date::fromSeconds(1000)).size(), 1u);
}

TEST(SessionTargets, ChangesNothing)
{
    Timeline timeline;
    timeline.tick(1000, { hook(1000, "PermissionRequest") });
    // Asking far beyond the timeout neither ends the wait nor forgets the session.
    EXPECT_TRUE(timeline.engine.sessionTargets(Date::fromSeconds(100000)).empty());
    EXPECT_EQ(timeline.tick(1001).waitingSessions, 1);
}

TEST(SessionTargets, SessionKeepsItsLastUsableChainAndDirectory)
{
    Timeline timeline;
    timeline.tick(1000, { hook(1000, "PreToolUse", "a", chainData({ 10, 9 }, { "claude", "bash" }, "ttys001", "/first")) });

    JSON::Value unusable = JSON::Value::object();
    unusable["proc"] = JSON::parse(R"({"pids":[0,-1],"names":["x"],"tty":"ttys002"})");
    unusable["cwd"] = "relative/dir";
    timeline.tick(1001, { hook(1001, "PreToolUse", "a", unusable), hook(1001, "PermissionRequest", "a") });
    auto targets = timeline.engine.sessionTargets(Date::fromSeconds(1001));
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].pids, (std::vector<int32_t> { 10, 9 }));
    EXPECT_EQ(targets[0].tty, "ttys001");
    EXPECT_EQ(targets[0].cwd, "/first");

    // A status line may move the directory, never the chain.
    JSON::Value statusData = chainData({ 77 }, { "other" }, {}, "/second");
    timeline.tick(1002, { SpoolEvent(1, 1002, "statusline", std::nullopt, "a", statusData) });
    targets = timeline.engine.sessionTargets(Date::fromSeconds(1002));
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].pids, (std::vector<int32_t> { 10, 9 }));
    EXPECT_EQ(targets[0].cwd, "/second");

    timeline.tick(1003, { hook(1003, "PermissionRequest", "a", chainData({ 11 }, { "claude" }, {}, {})) });
    targets = timeline.engine.sessionTargets(Date::fromSeconds(1003));
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].pids, std::vector<int32_t> { 11 });
    EXPECT_FALSE(targets[0].tty);
    EXPECT_EQ(targets[0].since, Date::fromSeconds(1003)) << "a new prompt restarts the wait";
}
