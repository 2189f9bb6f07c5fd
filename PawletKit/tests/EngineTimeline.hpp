#pragma once

// Helpers for engine tests: event builders and a timeline runner that feeds events tick by tick and
// checks the state after each tick.

#include "PawletKit/PawletEngine.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace EngineTesting {

using namespace PawletKit;

inline SpoolEvent hook(double ts, std::string ev, std::optional<std::string> sid = "a", JSON::Value data = JSON::Value::object(),
    std::optional<std::string> matcher = std::nullopt)
{
    return SpoolEvent(1, ts, std::move(ev), std::move(matcher), std::move(sid), std::move(data));
}

inline SpoolEvent notification(double ts, std::string matcher, std::optional<std::string> sid = "a")
{
    return hook(ts, "Notification", std::move(sid), JSON::Value::object(), std::move(matcher));
}

struct Window {
    std::optional<double> used;
    std::optional<double> resetsAt;
};

inline JSON::Value windowJSON(Window const& window)
{
    JSON::Value object = JSON::Value::object();
    if (window.used)
        object["used_percentage"] = *window.used;
    if (window.resetsAt)
        object["resets_at"] = *window.resetsAt;
    return object;
}

// A status line carrying usage limits; a window left out is not mentioned at all.
inline SpoolEvent limits(double ts, std::string sid, std::optional<Window> fiveHour, std::optional<Window> sevenDay = std::nullopt)
{
    JSON::Value data = JSON::Value::object();
    data["rate_limits"] = JSON::Value::object();
    if (fiveHour)
        data["rate_limits"]["five_hour"] = windowJSON(*fiveHour);
    if (sevenDay)
        data["rate_limits"]["seven_day"] = windowJSON(*sevenDay);
    return SpoolEvent(1, ts, "statusline", std::nullopt, std::move(sid), std::move(data));
}

inline SpoolEvent tokens(double ts, std::string sid, std::optional<double> input, std::optional<double> output,
    std::optional<double> cost = std::nullopt)
{
    JSON::Value data = JSON::Value::object();
    if (input)
        data["context_window"]["total_input_tokens"] = *input;
    if (output)
        data["context_window"]["total_output_tokens"] = *output;
    if (cost)
        data["cost"]["total_cost_usd"] = *cost;
    return SpoolEvent(1, ts, "statusline", std::nullopt, std::move(sid), std::move(data));
}

inline double intensityOf(double activity, EngineConfig const& config = EngineConfig::defaults())
{
    return 1 - std::exp(-activity / config.k());
}

// What one tick should show; fields left empty are not checked.
struct Expect {
    std::optional<Gait> gait {};
    std::optional<Mood> mood {};
    std::optional<int> busy {};
    std::optional<int> known {};
    std::optional<int> waiting {};
    std::optional<std::map<std::string, int>> sources {};
    std::optional<double> intensity {};
};

struct Tick {
    double t;
    std::vector<SpoolEvent> events;
    Expect expect;
};

class Timeline {
public:
    explicit Timeline(EngineConfig config = EngineConfig::defaults())
        : engine(config, [this] { return Date::fromSeconds(clockNow); })
    {
    }
    // The engine's clock reads this object.
    Timeline(Timeline const&) = delete;
    Timeline& operator=(Timeline const&) = delete;

    // Sets the clock to the tick's time, ingests its events, then takes the state at that time.
    PawletState tick(double t, std::vector<SpoolEvent> const& events = {})
    {
        clockNow = t;
        for (auto const& event : events)
            engine.ingest(event);
        return engine.state(Date::fromSeconds(t));
    }

    void run(std::vector<Tick> const& ticks)
    {
        for (auto const& step : ticks) {
            SCOPED_TRACE("tick at t = " + std::to_string(step.t));
            check(tick(step.t, step.events), step.expect);
        }
    }

    static void check(PawletState const& state, Expect const& expect)
    {
        if (expect.gait) {
            EXPECT_EQ(rawValue(state.gait), rawValue(*expect.gait));
        }
        if (expect.mood) {
            EXPECT_EQ(rawValue(state.mood), rawValue(*expect.mood));
        }
        if (expect.busy) {
            EXPECT_EQ(state.busySessions, *expect.busy);
        }
        if (expect.known) {
            EXPECT_EQ(state.knownSessions, *expect.known);
        }
        if (expect.waiting) {
            EXPECT_EQ(state.waitingSessions, *expect.waiting);
        }
        if (expect.sources) {
            EXPECT_EQ(state.sourceCounts, *expect.sources);
        }
        if (expect.intensity) {
            EXPECT_NEAR(state.intensity, *expect.intensity, 1e-9);
        }
    }

    double clockNow { 0 };
    PawletEngine engine;
};

}
