// Turning one typical hook input into its event line, as the agent tool does on every hook call.
#include "PawletKit/JSON.hpp"
#include "PawletKit/SpoolEvent.hpp"

#include <benchmark/benchmark.h>

using namespace PawletKit;

namespace {

constexpr char const* typicalInput = R"({"session_id":"6a1f0c2e-4b7d-4e51-9d3a-2f8e5c7b9a10",
    "transcript_path":"/home/ana/.claude/projects/-home-ana-src-shop/6a1f0c2e-4b7d-4e51-9d3a-2f8e5c7b9a10.jsonl",
    "cwd":"/home/ana/src/shop","permission_mode":"default","hook_event_name":"PreToolUse","tool_name":"Edit",
    "tool_input":{"file_path":"/home/ana/src/shop/src/checkout.ts","old_string":"const total = 0;","new_string":"let total = 0;"},
    "tool_use_id":"toolu_01HkR9xq2Wm4bTz7VpL3nC8d",
    "proc":{"pids":[48211,48190,3312],"names":["claude","zsh","kitty"],"tty":"pts/3"}})";

void BM_EncodeParsedHookInput(benchmark::State& state)
{
    JSON::Value input = JSON::parse(typicalInput);
    for (auto _ : state) {
        std::string line = SpoolEvent::make("PreToolUse", std::string("Edit"), &input, 1772460000.125).jsonLine();
        benchmark::DoNotOptimize(line.data());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ParseAndEncodeHookInput(benchmark::State& state)
{
    for (auto _ : state) {
        JSON::Value input = JSON::parse(typicalInput);
        std::string line = SpoolEvent::make("PreToolUse", std::string("Edit"), &input, 1772460000.125).jsonLine();
        benchmark::DoNotOptimize(line.data());
    }
    state.SetItemsProcessed(state.iterations());
}

}

BENCHMARK(BM_EncodeParsedHookInput);
BENCHMARK(BM_ParseAndEncodeHookInput);
