#include "EngineTimeline.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace PawletKit;
using namespace EngineTesting;

TEST(PawletEngine, ActivityAndBusyness)
{
    struct Case {
        char const* name;
        std::vector<SpoolEvent> events;
        double t;
        int busy;
        std::optional<double> intensity;
    };
    Case const cases[] = {
        { "prompt, just inside the busy window", { hook(1000, "UserPromptSubmit") }, 1014.999, 1, intensityOf(0.5 * std::exp(-14.999 / 20)) },
        { "prompt, at the busy window", { hook(1000, "UserPromptSubmit") }, 1015, 0, 0.0 },
        { "open tool call, just inside its window", { hook(1000, "PreToolUse") }, 1599.999, 1, {} },
        { "open tool call, at its window", { hook(1000, "PreToolUse") }, 1600, 0, {} },
        { "finished tool call without a start", { hook(1000, "PostToolUse") }, 1020, 0, {} },
        { "finished tool call without a start adds its weight", { hook(1000, "PostToolUse") }, 1000, 1, intensityOf(1) },
        // A stray finish must not cancel the next start: the call stays open past the busy window.
        { "finished tool call without a start, then a start", { hook(1000, "PostToolUse"), hook(1000, "PreToolUse") }, 1100, 1, {} },
        { "stopped", { hook(1000, "PreToolUse"), hook(1000, "Stop") }, 1001, 0, 0.0 },
        { "failed to stop", { hook(1000, "PreToolUse"), hook(1000, "StopFailure") }, 1001, 0, {} },
        { "asked for permission", { hook(1000, "PreToolUse"), hook(1000, "PermissionRequest") }, 1001, 0, {} },
        { "waiting notification", { hook(1000, "PreToolUse"), notification(1000, "elicitation_dialog") }, 1001, 0, {} },
        { "other notification wakes a stopped session", { hook(1000, "Stop"), notification(1000, "idle_prompt") }, 1001, 1, 0.0 },
        { "unknown event name", { hook(1000, "SessionStart") }, 1000, 1, 0.0 },
        { "subagent", { hook(1000, "SubagentStart") }, 1000, 1, intensityOf(1.5) },
        { "two calls at the same time add undecayed", { hook(1000, "PreToolUse"), hook(1000, "PreToolUse") }, 1000, 1, intensityOf(2) },
        { "decay between calls", { hook(1000, "PreToolUse"), hook(1020, "PreToolUse") }, 1020, 1, intensityOf(std::exp(-1.0) + 1) },
        { "an older event adds undecayed and keeps the update time", { hook(1010, "PreToolUse"), hook(1000, "PreToolUse") }, 1010, 1, intensityOf(2) },
        { "a prompt closes open tool calls", { hook(1000, "PreToolUse"), hook(1000, "UserPromptSubmit") }, 1016, 0, {} },
        { "clock behind the activity, within the busy window", { hook(1000, "UserPromptSubmit") }, 986, 1, intensityOf(0.5) },
        { "clock behind the activity, beyond the busy window", { hook(1000, "UserPromptSubmit") }, 985, 0, {} },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        Timeline timeline;
        timeline.clockNow = 1000;
        for (auto const& event : c.events)
            timeline.engine.ingest(event);
        auto state = timeline.engine.state(Date::fromSeconds(c.t));
        EXPECT_EQ(state.busySessions, c.busy);
        if (c.intensity) {
            EXPECT_NEAR(state.intensity, *c.intensity, 1e-12);
        }
    }
}

TEST(PawletEngine, GaitThresholdsAndTheConcurrencyBonus)
{
    struct Case {
        double bonus;
        double cap;
        int sessions;
        double intensity;
        Gait gait;
    } const cases[] = {
        // Busy sessions without activity (an unknown event wakes them), so only the bonus counts.
        { 0.15, 0.3, 1, 0, Gait::stroll },
        { 0.15, 0.3, 2, 0.15, Gait::stroll },
        { 0.15, 0.3, 4, 0.3, Gait::walk },
        { 0.22, 1, 2, 0.22, Gait::walk },
        { 0.6, 1, 2, 0.6, Gait::run },
        { 0.6, 1, 3, 1, Gait::run },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bonus << " for " << c.sessions << " sessions");
        EngineConfig config;
        config.concurrencyBonus = c.bonus;
        config.concurrencyBonusCap = c.cap;
        Timeline timeline(config);
        std::vector<SpoolEvent> events;
        for (int i = 0; i < c.sessions; ++i)
            events.push_back(hook(1000, "SessionStart", "s" + std::to_string(i)));
        Timeline::check(timeline.tick(1000, events), { .gait = c.gait, .busy = c.sessions, .intensity = c.intensity });
    }
}

TEST(PawletEngine, KOverrideSetsTheScale)
{
    EngineConfig config;
    config.kOverride = 2;
    Timeline timeline(config);
    Timeline::check(timeline.tick(1000, { hook(1000, "PreToolUse") }), { .gait = Gait::walk, .intensity = 1 - std::exp(-0.5) });

    // A zero scale makes no activity at all undefined; it reads as no intensity.
    config.kOverride = 0;
    Timeline zero(config);
    Timeline::check(zero.tick(1000, { hook(1000, "SessionStart") }), { .gait = Gait::stroll, .busy = 1, .intensity = 0 });
}

TEST(PawletEngine, StatusLineGrowthBecomesActivity)
{
    struct Reading {
        std::optional<double> input;
        std::optional<double> output;
        std::optional<double> cost;
    };
    struct Case {
        char const* name;
        double tokensPerUnit;
        Reading first;
        Reading second;
        double added;
    } const cases[] = {
        { "4000 tokens more", 2000, { 10000, 500, {} }, { 14000, 500, {} }, 2 },
        { "capped", 2000, { 10000, 500, {} }, { 19000, 1000, {} }, 2 },
        { "1000 tokens more", 2000, { 10000, 500, {} }, { 10500, 1000, {} }, 0.5 },
        { "smaller total", 2000, { 10000, 500, {} }, { 9000, 500, {} }, 0 },
        { "equal total", 2000, { 10000, 500, {} }, { 10000, 500, {} }, 0 },
        { "input only, then output only", 2000, { 10000, {}, {} }, { {}, 12000, {} }, 1 },
        { "no divisor below one", 0, { 10, 0, {} }, { 11, 0, {} }, 1 },
        { "half a token per unit still divides by one", 0.5, { 10, 0, {} }, { 11, 0, {} }, 1 },
        { "a cost rise alone adds nothing", 2000, { 10000, 0, 1.20 }, { 10000, 0, 1.25 }, 0 },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        EngineConfig config;
        config.statuslineTokensPerUnit = c.tokensPerUnit;
        Timeline timeline(config);
        auto state = timeline.tick(1000, {
                                             hook(1000, "UserPromptSubmit"),
                                             tokens(1000, "a", c.first.input, c.first.output, c.first.cost),
                                             tokens(1000, "a", c.second.input, c.second.output, c.second.cost),
                                         });
        EXPECT_NEAR(state.intensity, intensityOf(0.5 + c.added, config), 1e-12);
    }
}

// A long turn that only reports progress through its status line keeps the pet awake.
TEST(PawletEngine, StatusLineProgressMovesTheLatestEventTime)
{
    struct Case {
        char const* name;
        double laterTokens;
        Gait gait;
    } const cases[] = {
        { "progress", 5000, Gait::idle },
        { "no progress", 100, Gait::sleep },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        Timeline timeline;
        timeline.tick(1000, { hook(1000, "UserPromptSubmit"), tokens(1000, "a", 100, 0) });
        timeline.tick(1500, { tokens(1500, "a", c.laterTokens, 0) });
        Timeline::check(timeline.tick(1700, {}), { .gait = c.gait, .busy = 0 });
    }
}

TEST(PawletEngine, StatusLineAloneDoesNotWakeThePet)
{
    Timeline timeline;
    Timeline::check(timeline.tick(1000, { tokens(1000, "a", 10000, 500), tokens(1000, "a", 14000, 500) }),
        { .gait = Gait::sleep, .busy = 0, .known = 0 });
}

TEST(PawletEngine, GrowthDuringAFinishedTurnIsNeverCounted)
{
    Timeline timeline;
    Timeline::check(timeline.tick(1000, { hook(1000, "UserPromptSubmit"), tokens(1000, "a", 10000, 0), hook(1000, "Stop"), tokens(1000, "a", 14000, 0) }),
        { .busy = 0 });
    // The next turn starts from the total seen while stopped.
    Timeline::check(timeline.tick(1001, { hook(1001, "UserPromptSubmit"), tokens(1001, "a", 14000, 0) }),
        { .busy = 1, .intensity = intensityOf(0.5 * std::exp(-1.0 / 20) + 0.5) });
}

TEST(PawletEngine, CostRiseKeepsTheSessionBusy)
{
    Timeline timeline;
    timeline.tick(1000, { hook(1000, "UserPromptSubmit"), tokens(1000, "a", 100, 0, 1.20) });
    Timeline::check(timeline.tick(1020, { tokens(1010, "a", 100, 0, 1.25) }), { .busy = 1, .intensity = intensityOf(0.5 * std::exp(-1.0)) });

    Timeline unchanged;
    unchanged.tick(1000, { hook(1000, "UserPromptSubmit"), tokens(1000, "a", 100, 0, 1.20) });
    Timeline::check(unchanged.tick(1020, { tokens(1010, "a", 100, 0, 1.20) }), { .busy = 0 });
}

TEST(PawletEngine, RateLimitTest)
{
    auto failure = [](std::optional<std::string> matcher, JSON::Value data) {
        return hook(1000, "StopFailure", "a", std::move(data), std::move(matcher));
    };
    auto data = [](char const* text) { return JSON::parse(text); };
    struct Case {
        char const* name;
        SpoolEvent event;
        bool rateLimit;
    } const cases[] = {
        { "matcher", failure("rate_limit", JSON::Value::object()), true },
        { "matcher in other case", failure("Rate_Limit", JSON::Value::object()), false },
        { "error type", failure({}, data(R"({"error_type":"rate_limit"})")), true },
        { "usage limit in any case", failure({}, data(R"({"error":"You have reached your USAGE Limit."})")), true },
        { "rate limit with a space", failure({}, data(R"({"type":"Rate Limit exceeded"})")), true },
        { "inside a longer word", failure({}, data(R"({"matcher":"anthropic_rate_limit_error"})")), true },
        { "error as an object", failure({}, data(R"({"error":{"type":"rate_limit"},"reason":"overloaded"})")), false },
        { "number", failure({}, data(R"({"reason":429})")), false },
        { "Boolean", failure({}, data(R"({"failure_type":true})")), false },
        { "key not searched", failure({}, data(R"({"message":"rate limit"})")), false },
        { "nothing", failure({}, JSON::Value::object()), false },
    };
    for (auto const& c : cases)
        EXPECT_EQ(PawletEngine::isRateLimitFailure(c.event), c.rateLimit) << c.name;
}

TEST(PawletEngine, OnlyAStopFailureMakesHungry)
{
    JSON::Value data = JSON::Value::object();
    data["error_type"] = "rate_limit";
    Timeline timeline;
    Timeline::check(timeline.tick(1000, { hook(1000, "Stop", "a", data), hook(1000, "PostToolUseFailure", "b", data) }), { .mood = Mood::normal });
}

TEST(PawletEngine, ExhaustedReadingWithItsResetPassedIsCleared)
{
    Timeline timeline;
    Timeline::check(timeline.tick(1000, { hook(1000, "PreToolUse"), limits(1000, "a", Window { 99, 900 }) }), { .mood = Mood::normal });
    Timeline::check(timeline.tick(1001, { limits(1001, "a", Window { 99, 1001 }) }), { .mood = Mood::normal });
    Timeline::check(timeline.tick(1002, { limits(1002, "a", Window { 99, 5000 }) }), { .mood = Mood::hungry });
    // No use and no reset time is neither exhausted nor cleared.
    Timeline::check(timeline.tick(1003, { limits(1003, "a", Window {}) }), { .mood = Mood::hungry });
}

TEST(PawletEngine, TheSessionWithTheLatestHookEventGivesTheQuota)
{
    Timeline timeline;
    timeline.tick(1000, { limits(1000, "a", Window { 30, 9000 }) });
    auto state = timeline.tick(1060, { hook(1050, "PreToolUse", "b"), limits(1060, "b", Window { 35, 9000 }) });
    EXPECT_EQ(state.quota.fiveHourUsed, 35) << "a has had no hook event: b's fresh reading is the only one used";
    EXPECT_EQ(state.quotaBySource.at("claude").fiveHourUsed, 35);

    state = timeline.tick(1100, { hook(1100, "PreToolUse", "a") });
    EXPECT_EQ(state.quota.fiveHourUsed, 30);

    state = timeline.tick(1200, { limits(1200, "b", Window { 36, 9000 }) });
    EXPECT_EQ(state.quota.fiveHourUsed, 30) << "a's hook event is later, though b's reading is newer";
    EXPECT_EQ(state.quotaBySource.at("claude").fiveHourUsed, 30);
}

TEST(PawletEngine, FreshReadingsWinAndMissingWindowsKeepTheirOldValues)
{
    Timeline timeline;
    timeline.tick(1000, { hook(1000, "PreToolUse", "old"), limits(1000, "old", Window { 50, 9000 }, Window { 60, 90000 }) });
    auto state = timeline.tick(1700, { hook(1700, "PreToolUse", "new"), limits(1700, "new", Window { 70, 9000 }) });
    EXPECT_EQ(state.quota.fiveHourUsed, 70);
    EXPECT_EQ(state.quota.sevenDayUsed, 60);
    EXPECT_EQ(state.quota.sevenDayResetsAt, Date::fromSeconds(90000));
    QuotaInfo onlyFresh { .fiveHourUsed = 70, .fiveHourResetsAt = Date::fromSeconds(9000), .sevenDayUsed = {}, .sevenDayResetsAt = {} };
    EXPECT_EQ(state.quotaBySource, (std::map<std::string, QuotaInfo> { { "claude", onlyFresh } }));

    // A stale session's newer reading is not used while another session is fresh.
    state = timeline.tick(1701, { limits(1701, "old", std::nullopt, Window { 65, 90000 }) });
    EXPECT_EQ(state.quota.sevenDayUsed, 60);
    EXPECT_EQ(state.quotaBySource, (std::map<std::string, QuotaInfo> { { "claude", onlyFresh } }));

    // Once every reading is stale, all of them count again.
    state = timeline.tick(3000);
    EXPECT_EQ(state.quotaBySource.at("claude").sevenDayUsed, 65);
}

TEST(PawletEngine, ReadingsOfSessionsWithoutHookEventsComeLast)
{
    Timeline timeline;
    timeline.tick(1000, { limits(1000, "statusOnly", Window { 20, 9000 }), hook(999, "PreToolUse", "hooked"), limits(999, "hooked", Window { 30, 9000 }) });
    // Both stale by now: all readings count, the one with a hook event first, though it is older.
    auto state = timeline.tick(2000, { hook(2000, "Stop", "other") });
    EXPECT_EQ(state.quota.fiveHourUsed, 30);
    EXPECT_EQ(state.quotaBySource.at("claude").fiveHourUsed, 30);
}

TEST(PawletEngine, QuotaBySource)
{
    Timeline timeline;
    auto state = timeline.tick(1000, {
                                         hook(1000, "PreToolUse", "a"),
                                         limits(1000, "a", Window { 10, 5000 }),
                                         hook(1000, "PreToolUse", "codex:x"),
                                         limits(1000, "codex:x", Window { 20, 6000 }, Window { 30, {} }),
                                         // A window object without values is a reading, but gives the source nothing to show.
                                         hook(1000, "PreToolUse", "proc:tool:5"),
                                         limits(1000, "proc:tool:5", Window {}),
                                     });
    std::map<std::string, QuotaInfo> expected {
        { "claude", { .fiveHourUsed = 10, .fiveHourResetsAt = Date::fromSeconds(5000), .sevenDayUsed = {}, .sevenDayResetsAt = {} } },
        { "codex", { .fiveHourUsed = 20, .fiveHourResetsAt = Date::fromSeconds(6000), .sevenDayUsed = 30, .sevenDayResetsAt = {} } },
    };
    EXPECT_EQ(state.quotaBySource, expected);
}

TEST(PawletEngine, LaterStatusLinesReplaceOnlyTheWindowsTheyCarry)
{
    Timeline timeline;
    timeline.tick(1000, { hook(1000, "PreToolUse"), limits(1000, "a", Window { 50, 9000 }, Window { 60, 90000 }) });
    auto state = timeline.tick(1001, { limits(1001, "a", std::nullopt, Window { 70, 90000 }), tokens(1001, "a", 5, 5) });
    EXPECT_EQ(state.quotaBySource.at("claude").fiveHourUsed, 50);
    EXPECT_EQ(state.quotaBySource.at("claude").sevenDayUsed, 70);

    // An empty window object replaces the reading, so the merged quota loses its values.
    state = timeline.tick(1002, { limits(1002, "a", Window {}) });
    EXPECT_FALSE(state.quota.fiveHourUsed);
    EXPECT_FALSE(state.quota.fiveHourResetsAt);
    EXPECT_EQ(state.quota.sevenDayUsed, 70);
}

TEST(PawletEngine, ResetTimesReadAsMillisecondsAndDates)
{
    Timeline timeline;
    JSON::Value data = JSON::parse(R"({"rate_limits":{"five_hour":{"used_percentage":"12.5","resets_at":1700000000000},
        "seven_day":{"used_percentage":40,"resets_at":"2023-11-14T22:13:20Z"}}})");
    auto state = timeline.tick(1000, { SpoolEvent(1, 1000, "statusline", std::nullopt, "a", data) });
    EXPECT_EQ(state.quota.fiveHourUsed, 12.5);
    EXPECT_EQ(state.quota.fiveHourResetsAt, Date::fromSeconds(1700000000));
    EXPECT_EQ(state.quota.sevenDayResetsAt, Date::fromSeconds(1700000000));
}

TEST(PawletEngine, EventsWithoutSessionIdShareOneSession)
{
    Timeline timeline;
    auto state = timeline.tick(1000, { hook(1000, "PreToolUse", std::nullopt), hook(1000, "PreToolUse", std::nullopt), hook(1000, "PreToolUse", "") });
    Timeline::check(state, { .busy = 2, .sources = std::map<std::string, int> { { "claude", 2 } } });
}

TEST(PawletEngine, StateMovesThePresentOnlyForward)
{
    Timeline timeline;
    timeline.clockNow = 100000;
    timeline.engine.state(Date::fromSeconds(10000));
    timeline.engine.state(Date::fromSeconds(5000));
    // The present stays at 10000: an event at 13000 is within the future limit.
    timeline.engine.ingest(hook(13000, "PermissionRequest", "x"));
    EXPECT_EQ(timeline.engine.sessionTargets(Date::fromSeconds(13000)).size(), 1u);
}

TEST(PawletEngine, AnUndefinedPresentIsNotAdopted)
{
    // Adopted, it would never be raised again and every later event would pass the time tests.
    Timeline timeline;
    timeline.engine.state(Date::fromSeconds(std::numeric_limits<double>::quiet_NaN()));
    timeline.engine.state(Date::fromSeconds(10000));
    timeline.clockNow = 100000;
    timeline.engine.ingest(hook(20000, "PermissionRequest", "x"));
    EXPECT_TRUE(timeline.engine.sessionTargets(Date::fromSeconds(20000)).empty());
}

TEST(PawletEngine, ClockJumpingBackPullsTheLastEventTimeBack)
{
    Timeline timeline;
    timeline.tick(10000, { hook(10000, "Stop") });
    // Far behind the last event, the pet would idle for an hour and more; the event time is pulled back.
    Timeline::check(timeline.tick(6000), { .gait = Gait::idle });
    Timeline::check(timeline.tick(6600), { .gait = Gait::idle });
    Timeline::check(timeline.tick(6600.5), { .gait = Gait::sleep });
}
