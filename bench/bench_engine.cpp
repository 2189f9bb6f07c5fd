// The engine runs on every 0.25 s tick of the application: ingestion of a tick's events and one
// state() call must stay far below a millisecond.

#include "PawletKit/PawletEngine.hpp"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace PawletKit;

namespace {

constexpr double start = 1'700'000'000;

JSON::Value hookData(int session, int call)
{
    JSON::Value data = JSON::Value::object();
    data["session_id"] = "session-" + std::to_string(session);
    data["hook_event_name"] = call % 2 ? "PostToolUse" : "PreToolUse";
    data["tool_name"] = call % 3 ? "Bash" : "Edit";
    data["cwd"] = "/home/user/projects/repository-" + std::to_string(session);
    data["proc"] = ProcInfo({ 4000 + session, 3000 + session, 1200 }, { "claude", "zsh", "tmux" }, "ttys00" + std::to_string(session % 10)).jsonObject();
    return data;
}

JSON::Value statusData(int session, int step)
{
    JSON::Value data = JSON::Value::object();
    data["cwd"] = "/home/user/projects/repository-" + std::to_string(session);
    data["context_window"]["total_input_tokens"] = 20000 + 150 * step;
    data["context_window"]["total_output_tokens"] = 3000 + 40 * step;
    data["cost"]["total_cost_usd"] = 0.5 + 0.001 * step;
    data["rate_limits"]["five_hour"]["used_percentage"] = 40 + (step % 50);
    data["rate_limits"]["five_hour"]["resets_at"] = start + 9000;
    data["rate_limits"]["seven_day"]["used_percentage"] = 20;
    data["rate_limits"]["seven_day"]["resets_at"] = start + 400000;
    return data;
}

// Eight coding-agent sessions and a few followers' sessions at a few events a second each: mostly tool
// calls, a status line every tenth event, a prompt and a stop now and then.
std::vector<SpoolEvent> typicalEvents(int count)
{
    std::vector<SpoolEvent> events;
    events.reserve(count);
    for (int i = 0; i < count; ++i) {
        double ts = start + i * 0.01;
        int session = i % 11;
        std::string sid = session < 8 ? "session-" + std::to_string(session)
            : session == 8            ? "codex:019a-4c1e"
                                      : "proc:aider:" + std::to_string(5000 + session);
        int step = i / 11;
        if (i % 10 == 9) {
            events.emplace_back(1, ts, "statusline", std::nullopt, sid, statusData(session, step));
        } else if (step % 40 == 0) {
            events.emplace_back(1, ts, "UserPromptSubmit", std::nullopt, sid, hookData(session, step));
        } else if (step % 40 == 39) {
            events.emplace_back(1, ts, "Stop", std::nullopt, sid, hookData(session, step));
        } else {
            events.emplace_back(1, ts, step % 2 ? "PostToolUse" : "PreToolUse", std::nullopt, sid, hookData(session, step));
        }
    }
    return events;
}

void BM_IngestOneMillionTypicalEvents(benchmark::State& state)
{
    constexpr int count = 1'000'000;
    auto const events = typicalEvents(count);
    double const clock = events.back().ts;
    for (auto _ : state) {
        PawletEngine engine(EngineConfig::defaults(), [clock] { return Date::fromSeconds(clock); });
        for (auto const& event : events)
            engine.ingest(event);
        benchmark::DoNotOptimize(engine.state(Date::fromSeconds(clock)));
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_IngestOneMillionTypicalEvents)->Unit(benchmark::kMillisecond);

// 200 live sessions of all three sources: busy ones with tools in flight, waiting ones, stopped ones,
// half of them with quota readings, and a few pending approvals.
PawletEngine engineWithLiveSessions(int sessions)
{
    PawletEngine engine(EngineConfig::defaults(), [] { return Date::fromSeconds(start); });
    std::set<std::string> pending;
    for (int i = 0; i < sessions; ++i) {
        std::string sid = i % 3 == 0 ? "proc:node:" + std::to_string(10000 + i)
            : i % 3 == 1             ? "codex:" + std::to_string(i)
                                     : "5f0c7a9e-" + std::to_string(i);
        double ts = start - 300 + i;
        engine.ingest(SpoolEvent(1, ts, "UserPromptSubmit", std::nullopt, sid, hookData(i, 0)));
        engine.ingest(SpoolEvent(1, ts + 1, "PreToolUse", std::nullopt, sid, hookData(i, 1)));
        if (i % 2)
            engine.ingest(SpoolEvent(1, ts + 2, "statusline", std::nullopt, sid, statusData(i, i)));
        if (i % 7 == 0)
            engine.ingest(SpoolEvent(1, ts + 3, "PermissionRequest", std::nullopt, sid, hookData(i, 2)));
        if (i % 11 == 0)
            engine.ingest(SpoolEvent(1, ts + 3, "Stop", std::nullopt, sid, hookData(i, 3)));
        if (i % 25 == 0)
            pending.insert(sid);
    }
    engine.setPendingApprovalSids(pending);
    return engine;
}

void BM_StateWith200LiveSessions(benchmark::State& state)
{
    PawletEngine engine = engineWithLiveSessions(200);
    Date const now = Date::fromSeconds(start);
    if (engine.state(now).busySessions < 100)
        state.SkipWithError("the sessions are not live");
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.state(now));
}
BENCHMARK(BM_StateWith200LiveSessions)->Unit(benchmark::kMicrosecond);

void BM_SessionTargetsWith200LiveSessions(benchmark::State& state)
{
    PawletEngine engine = engineWithLiveSessions(200);
    Date const now = Date::fromSeconds(start);
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.sessionTargets(now));
}
BENCHMARK(BM_SessionTargetsWith200LiveSessions)->Unit(benchmark::kMicrosecond);

}
