#include "EngineTimeline.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace PawletKit;
using namespace EngineTesting;

namespace {

// A prompt at 1000, tool calls each second from 1001 to 1030 (PreToolUse, then PostToolUse half a second
// later) and one more PreToolUse at 1031 that stays open.
std::vector<SpoolEvent> burstBetween(double after, double upTo)
{
    std::vector<SpoolEvent> all { hook(1000, "UserPromptSubmit") };
    for (int second = 1001; second <= 1030; ++second) {
        all.push_back(hook(second, "PreToolUse"));
        all.push_back(hook(second + 0.5, "PostToolUse"));
    }
    all.push_back(hook(1031, "PreToolUse"));
    std::vector<SpoolEvent> selected;
    for (auto const& event : all)
        if (event.ts > after && event.ts <= upTo)
            selected.push_back(event);
    return selected;
}

JSON::Value withCwd(std::string cwd)
{
    JSON::Value data = JSON::Value::object();
    data["cwd"] = std::move(cwd);
    return data;
}

}

TEST(EngineScenario, ToolBurstWalksFromStrollToRunAndBackToIdleAndSleep)
{
    Timeline timeline;
    std::map<std::string, int> oneClaude { { "claude", 1 } };
    timeline.run({
        { 1000, burstBetween(0, 1000), { .gait = Gait::stroll, .mood = Mood::normal, .busy = 1, .known = 1, .sources = oneClaude, .intensity = intensityOf(0.5) } },
        { 1003, burstBetween(1000, 1003), { .gait = Gait::walk, .busy = 1 } },
        { 1010, burstBetween(1003, 1010), { .gait = Gait::run } },
        { 1031, burstBetween(1010, 1031), { .gait = Gait::run } },
        // Quiet, but a tool call is still open: busy, with the activity decaying.
        { 1060, {}, { .gait = Gait::walk, .busy = 1 } },
        { 1090, {}, { .gait = Gait::stroll, .busy = 1 } },
        { 1100, { hook(1100, "PostToolUse"), hook(1100, "Stop") }, { .gait = Gait::idle, .busy = 0, .known = 1, .sources = std::map<std::string, int> {}, .intensity = 0 } },
        { 1700, {}, { .gait = Gait::idle, .known = 1 } },
        { 1700.001, {}, { .gait = Gait::sleep, .known = 0 } },
    });
}

TEST(EngineScenario, ConcurrentSessionsOfSeveralSources)
{
    Timeline timeline;
    timeline.run({
        { 2000,
            { hook(2000, "PreToolUse", "c1"), hook(2000, "PreToolUse", "codex:abc"), hook(2000, "PreToolUse", "proc:node:1234"), hook(2000, "Stop", "c2") },
            { .gait = Gait::walk, .busy = 3, .known = 4, .sources = std::map<std::string, int> { { "claude", 1 }, { "codex", 1 }, { "process", 1 } }, .intensity = intensityOf(3) + 0.3 } },
        { 2005, { hook(2005, "Stop", "codex:abc") },
            { .busy = 2, .known = 4, .sources = std::map<std::string, int> { { "claude", 1 }, { "process", 1 } }, .intensity = intensityOf(2 * std::exp(-5.0 / 20)) + 0.15 } },
        // Open tool calls keep the other two busy until their last activity is 600 s old.
        { 2599.9, {}, { .busy = 2 } },
        { 2600, {}, { .gait = Gait::idle, .busy = 0, .sources = std::map<std::string, int> {} } },
    });
}

TEST(EngineScenario, BusyThroughStatusLinesAloneDoesNotCountAsKnown)
{
    Timeline timeline;
    timeline.tick(3000, { hook(3000, "PreToolUse"), tokens(3000, "a", 1000, 0) });
    auto state = timeline.tick(3700, { tokens(3590, "a", 5000, 0) });
    // The last hook event is 700 s old: busy through the open tool call and the status line's progress,
    // but neither known nor counted for its source.
    double activity = (1 * std::exp(-590.0 / 20) + 2) * std::exp(-110.0 / 20);
    Timeline::check(state, { .gait = Gait::stroll, .busy = 1, .known = 0, .sources = std::map<std::string, int> {}, .intensity = intensityOf(activity) });
}

TEST(EngineScenario, PermissionPromptAndItsResolution)
{
    Timeline timeline;
    Timeline::check(timeline.tick(4000, { hook(4000, "PreToolUse") }), { .gait = Gait::stroll, .busy = 1, .waiting = 0 });

    JSON::Value data = withCwd("/home/me/project");
    data["proc"] = ProcInfo({ 300, 200 }, { "claude", "zsh" }, "ttys001").jsonObject();
    timeline.engine.ingest(hook(4001, "PermissionRequest", "a", data));
    timeline.engine.setPendingApprovalSids({ "a" });
    Timeline::check(timeline.tick(4001), { .gait = Gait::idle, .mood = Mood::poop, .busy = 0, .waiting = 1 });
    auto targets = timeline.engine.sessionTargets(Date::fromSeconds(4001));
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].since, Date::fromSeconds(4001));
    EXPECT_EQ(targets[0].cwd, "/home/me/project");

    timeline.engine.resolveApproval("a");
    EXPECT_TRUE(timeline.engine.pendingApprovalSids().empty());
    Timeline::check(timeline.tick(4002), { .gait = Gait::idle, .mood = Mood::normal, .busy = 0, .waiting = 0 });
    EXPECT_TRUE(timeline.engine.sessionTargets(Date::fromSeconds(4002)).empty());

    timeline.run({
        { 4003, { hook(4003, "PostToolUse") }, { .gait = Gait::stroll, .mood = Mood::normal, .busy = 1 } },
        { 4010, { notification(4010, "permission_prompt") }, { .gait = Gait::idle, .mood = Mood::poop, .busy = 0, .waiting = 1 } },
        // A notification of another kind neither starts nor ends a wait.
        { 4011, { notification(4011, "idle_prompt") }, { .mood = Mood::poop, .busy = 1, .waiting = 1 } },
        { 4012, { hook(4012, "PreToolUse") }, { .gait = Gait::stroll, .mood = Mood::normal, .waiting = 0 } },
    });
}

TEST(EngineScenario, WaitEndsAfterItsTimeoutButAPendingApprovalStillCounts)
{
    Timeline timeline;
    timeline.run({
        { 5000, { notification(5000, "agent_needs_input") }, { .mood = Mood::poop, .waiting = 1 } },
        { 6799.9, {}, { .waiting = 1 } },
        { 6800, {}, { .mood = Mood::normal, .waiting = 0 } },
    });
    EXPECT_TRUE(timeline.engine.sessionTargets(Date::fromSeconds(6000)).empty()) << "the timed-out wait is over for good";

    timeline.engine.ingest(hook(6801, "PermissionRequest"));
    timeline.engine.setPendingApprovalSids({ "a", "elsewhere" });
    Timeline::check(timeline.tick(6802), { .gait = Gait::idle, .mood = Mood::poop, .waiting = 2 });
}

TEST(EngineScenario, StatusLineCrossingTheLimitMakesHungryUntilTheWindowClears)
{
    Timeline timeline;
    timeline.run({
        { 10000, { hook(10000, "PreToolUse") }, { .mood = Mood::normal } },
        { 10001, { limits(10001, "a", Window { 96.9, 20000 }) }, { .mood = Mood::normal } },
        // A hungry pet keeps its gait.
        { 10002, { limits(10002, "a", Window { 97, 20000 }) }, { .gait = Gait::stroll, .mood = Mood::hungry } },
        { 10003, { limits(10003, "a", Window { 92, 20000 }) }, { .mood = Mood::hungry } },
        { 10004, { limits(10004, "a", Window { 91.9, 20000 }) }, { .mood = Mood::happy } },
        { 10011.9, {}, { .mood = Mood::happy } },
        { 10012, {}, { .mood = Mood::normal } },
        { 10020, { limits(10020, "a", Window { 98, 20000 }) }, { .mood = Mood::hungry } },
        { 19999.999, {}, { .mood = Mood::hungry } },
        { 20000, {}, { .mood = Mood::happy } },
        { 20008, {}, { .mood = Mood::normal } },
    });
    auto state = timeline.tick(20009);
    EXPECT_EQ(state.quota.fiveHourUsed, 98);
    EXPECT_EQ(state.quota.fiveHourResetsAt, Date::fromSeconds(20000));
    EXPECT_FALSE(state.quota.sevenDayUsed);
}

TEST(EngineScenario, HungerNoticedLateEndsWithoutAHappySpell)
{
    constexpr double reset = 5000;
    struct Case {
        double noticedAt;
        Mood mood;
    } const cases[] = {
        { reset - 0.001, Mood::hungry },
        { reset, Mood::happy },
        { reset + 600, Mood::happy },
        { reset + 600.001, Mood::normal },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.noticedAt);
        Timeline timeline;
        Timeline::check(timeline.tick(1000, { hook(1000, "PreToolUse"), limits(1000, "a", Window { 99, reset }) }), { .mood = Mood::hungry });
        Timeline::check(timeline.tick(c.noticedAt), { .mood = c.mood });
    }
}

TEST(EngineScenario, HungerLastsUntilTheLatestWindowResets)
{
    Timeline timeline;
    timeline.run({
        { 1000, { hook(1000, "PreToolUse"), limits(1000, "a", Window { 99, 5000 }, Window { 100, 8000 }) }, { .mood = Mood::hungry } },
        { 5000, {}, { .mood = Mood::hungry } },
        { 7999, {}, { .mood = Mood::hungry } },
        { 8000, {}, { .mood = Mood::happy } },
    });

    // A window that clears while the other stays exhausted no longer holds the hunger.
    Timeline cleared;
    cleared.run({
        { 1000, { hook(1000, "PreToolUse"), limits(1000, "a", Window { 99, 5000 }, Window { 100, 8000 }) }, { .mood = Mood::hungry } },
        { 1001, { limits(1001, "a", std::nullopt, Window { 50, 8000 }) }, { .mood = Mood::hungry } },
        { 5000, {}, { .mood = Mood::happy } },
    });
}

TEST(EngineScenario, RateLimitDuringAWindowHungerSetsNoFallback)
{
    Timeline timeline;
    timeline.run({
        { 1000, { hook(1000, "PreToolUse"), limits(1000, "a", Window { 99, 50000 }) }, { .mood = Mood::hungry } },
        // Between the thresholds: the window stays exhausted.
        { 1500, { limits(1500, "a", Window { 95, 50000 }) }, { .mood = Mood::hungry } },
        { 2000, { hook(2000, "StopFailure", "a", JSON::Value::object(), "rate_limit") }, { .mood = Mood::hungry } },
        // A window without a reset time now fixes the fallback, 18000 s from here.
        { 3000, { limits(3000, "a", std::nullopt, Window { 99, std::nullopt }) }, { .mood = Mood::hungry } },
        { 20000, {}, { .mood = Mood::hungry } },
        { 21000, {}, { .mood = Mood::happy } },
    });
}

TEST(EngineScenario, HungerWithoutAResetTimeEndsAtTheFallbackFixedWhenItBegan)
{
    Timeline timeline;
    timeline.run({
        { 1000, { hook(1000, "PreToolUse"), limits(1000, "a", Window { 98, std::nullopt }) }, { .mood = Mood::hungry } },
        // A later reading of the same kind does not push the end back.
        { 4000, { hook(4000, "PreToolUse"), limits(4000, "a", Window { 99, std::nullopt }) }, { .mood = Mood::hungry } },
        { 18999.9, {}, { .mood = Mood::hungry } },
        { 19000, {}, { .mood = Mood::happy } },
    });
}

TEST(EngineScenario, RateLimitFailureMakesHungryUntilTheFallback)
{
    Timeline timeline;
    JSON::Value failure = JSON::Value::object();
    failure["error_type"] = "rate_limit";
    timeline.run({
        { 1000, { hook(1000, "PreToolUse") }, { .gait = Gait::stroll, .mood = Mood::normal } },
        { 1001, { hook(1001, "StopFailure", "a", failure) }, { .gait = Gait::idle, .mood = Mood::hungry, .busy = 0 } },
        // A reading between the two thresholds changes nothing.
        { 1002, { limits(1002, "a", Window { 95, 9000 }) }, { .mood = Mood::hungry } },
        { 19000.9, {}, { .mood = Mood::hungry } },
        { 19001, {}, { .mood = Mood::happy } },
    });
}

TEST(EngineScenario, RateLimitHungerEndsWithTheFirstClearedReading)
{
    Timeline timeline;
    timeline.run({
        { 1000, { hook(1000, "StopFailure", "a", JSON::Value::object(), "rate_limit") }, { .mood = Mood::hungry } },
        { 1100, { limits(1100, "a", Window { 50, 9000 }) }, { .mood = Mood::happy } },
        { 1108, {}, { .mood = Mood::normal } },
    });
}

TEST(EngineScenario, AutomaticResumeEndsHungerOrCheersWithoutLengtheningASpell)
{
    Timeline timeline;
    timeline.run({
        { 1000, { hook(1000, "StopFailure", "a", JSON::Value::object(), "rate_limit") }, { .mood = Mood::hungry } },
        { 1001, { notification(1001, "quota_auto_resume_fired") }, { .mood = Mood::happy } },
        // Hungry again and cleared while the spell runs: it still ends at 1009.
        { 1004, { hook(1004, "StopFailure", "a", JSON::Value::object(), "rate_limit"), notification(1004, "quota_auto_resume_fired") }, { .mood = Mood::happy } },
        { 1008.99, { notification(1005, "quota_auto_resume_fired") }, { .mood = Mood::happy } },
        { 1009, {}, { .mood = Mood::normal } },
        // Not hungry: the notification alone starts a spell.
        { 2000, { notification(2000, "quota_auto_resume_fired") }, { .mood = Mood::happy } },
        { 2008, {}, { .mood = Mood::normal } },
    });
}

TEST(EngineScenario, MoodPriorities)
{
    Timeline timeline;
    timeline.engine.setPendingApprovalSids({ "x" });
    // Nothing has happened yet: a pending approval needs no session.
    Timeline::check(timeline.tick(1000), { .gait = Gait::idle, .mood = Mood::poop, .busy = 0, .known = 0, .waiting = 1, .intensity = 0 });

    // Hungry and waiting at once: hungry, and the gait is not forced to idle.
    timeline.tick(1001, { hook(1001, "PreToolUse", "b"), hook(1001, "StopFailure", "c", JSON::Value::object(), "rate_limit") });
    Timeline::check(timeline.tick(1002), { .gait = Gait::stroll, .mood = Mood::hungry, .waiting = 1 });
}

TEST(EngineScenario, EventsFromTheFutureAndTheFarPastAreRefused)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double infinity = std::numeric_limits<double>::infinity();
    struct Case {
        char const* name;
        double clock;
        std::optional<double> earlierEvent;
        std::optional<double> stateAt;
        double ts;
        bool accepted;
    } const cases[] = {
        { "first event, however old", 100000, {}, {}, 1000, true },
        { "zero time", 10000, {}, {}, 0, false },
        { "negative time", 10000, {}, {}, -5, false },
        { "not a number", 10000, {}, {}, nan, false },
        { "infinite", 10000, {}, {}, infinity, false },
        { "exactly the future limit", 10000, {}, {}, 13600, true },
        { "past the future limit", 10000, {}, {}, 13600.001, false },
        { "older than both limits", 10000, 10000, {}, 6000, false },
        { "at the stale limit", 10000, 10000, {}, 6400, true },
        { "behind the last event, not behind now", 9000, 10000, 9000, 6000, true },
        { "behind both", 9000, 10000, 9000, 5000, false },
        { "the present of state() wins over the clock", 50000, {}, 10000, 20000, false },
        { "the clock serves before any state()", 50000, {}, {}, 20000, true },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        Timeline timeline;
        timeline.clockNow = c.clock;
        if (c.earlierEvent)
            timeline.engine.ingest(hook(*c.earlierEvent, "PreToolUse", "earlier"));
        if (c.stateAt)
            timeline.engine.state(Date::fromSeconds(*c.stateAt));
        timeline.engine.ingest(hook(c.ts, "PreToolUse", "x", withCwd("/x")));

        // A pending approval lists the id in any case; the session's directory shows that it is tracked.
        timeline.engine.setPendingApprovalSids({ "x" });
        auto targets = timeline.engine.sessionTargets(Date::fromSeconds(c.clock));
        ASSERT_EQ(targets.size(), 1u);
        EXPECT_EQ(targets[0].cwd.has_value(), c.accepted);
    }
}

TEST(EngineScenario, SessionIsForgottenAfterItsQuietSpell)
{
    Timeline timeline;
    timeline.tick(1000, { hook(1000, "Stop"), limits(1000, "a", Window { 40, 9000 }) });
    auto kept = timeline.tick(8200);
    EXPECT_EQ(kept.quotaBySource.count("claude"), 1u);

    auto forgotten = timeline.tick(8200.001);
    EXPECT_TRUE(forgotten.quotaBySource.empty());
    // The engine's own reading survives the session that gave it.
    EXPECT_EQ(forgotten.quota.fiveHourUsed, 40);
    EXPECT_EQ(forgotten.quota.fiveHourResetsAt, Date::fromSeconds(9000));
}

TEST(EngineScenario, IngestionForgetsByTheEventsOwnTime)
{
    // An event at 20000 forgets a session last touched at 12000, even though a state() at 18000
    // alone would keep it.
    Timeline timeline;
    timeline.clockNow = 12000;
    timeline.engine.ingest(limits(12000, "old", Window { 40, 90000 }));
    timeline.clockNow = 20000;
    timeline.engine.ingest(hook(20000, "Stop", "new"));
    EXPECT_TRUE(timeline.engine.state(Date::fromSeconds(18000)).quotaBySource.empty());

    // With the clock behind the events, an older event forgets a session touched far after it.
    Timeline behind;
    behind.clockNow = 5000;
    behind.engine.ingest(limits(8000, "ahead", Window { 40, 90000 }));
    EXPECT_EQ(behind.engine.state(Date::fromSeconds(5000)).quotaBySource.count("claude"), 1u);
    behind.engine.ingest(hook(4000, "Stop", "late"));
    EXPECT_TRUE(behind.engine.state(Date::fromSeconds(5000)).quotaBySource.empty());
}

TEST(EngineScenario, SessionEndRemovesTheSession)
{
    Timeline timeline;
    // An unknown session's end creates nothing, but it is an event: the pet wakes.
    Timeline::check(timeline.tick(1000), { .gait = Gait::sleep });
    Timeline::check(timeline.tick(1001, { hook(1001, "SessionEnd", "ghost") }), { .gait = Gait::idle, .known = 0 });

    timeline.tick(1002, { hook(1002, "PreToolUse"), limits(1002, "a", Window { 40, 9000 }), hook(1003, "PermissionRequest") });
    EXPECT_EQ(timeline.engine.sessionTargets(Date::fromSeconds(1003)).size(), 1u);
    Timeline::check(timeline.tick(1004, { hook(1004, "SessionEnd") }), { .gait = Gait::idle, .mood = Mood::normal, .busy = 0, .known = 0, .waiting = 0 });
    EXPECT_TRUE(timeline.engine.sessionTargets(Date::fromSeconds(1004)).empty());
    EXPECT_TRUE(timeline.tick(1005).quotaBySource.empty());
}
