// Reading a spool of 100,000 typical event lines (about 36 MiB), in as many polls as the per-poll bound takes.
#include "PawletKit/SpoolEvent.hpp"
#include "PawletKit/SpoolReader.hpp"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>

using namespace PawletKit;

namespace {

constexpr int lineCount = 100000;

std::string typicalLine(int index)
{
    JSON::Value input = JSON::parse(R"({"session_id":"6a1f0c2e-4b7d-4e51-9d3a-2f8e5c7b9a10",
        "transcript_path":"/home/ana/.claude/projects/-home-ana-src-shop/6a1f0c2e.jsonl","cwd":"/home/ana/src/shop",
        "permission_mode":"default","hook_event_name":"PreToolUse","tool_name":"Bash",
        "tool_input":{"command":"npm test","description":"Run the test suite"},
        "proc":{"pids":[48211,48190,3312],"names":["claude","zsh","kitty"],"tty":"pts/3"}})");
    input["tool_use_id"] = "toolu_" + std::to_string(index);
    return SpoolEvent::make("PreToolUse", std::string("Bash"), &input, 1772460000.125 + index).jsonLine();
}

void BM_SpoolReaderPoll(benchmark::State& state)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "spool-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    Paths paths = Paths::withBase(pattern);
    size_t bytes = 0;
    {
        std::ofstream file(paths.spool(), std::ios::binary);
        for (int i = 0; i < lineCount; ++i) {
            std::string line = typicalLine(i);
            bytes += line.size();
            file << line;
        }
    }

    for (auto _ : state) {
        SpoolReader reader(paths, std::numeric_limits<int64_t>::max());
        size_t read = 0;
        for (auto events = reader.poll(); !events.empty(); events = reader.poll()) {
            read += events.size();
            benchmark::DoNotOptimize(events.data());
        }
        if (read != lineCount) {
            state.SkipWithError("lines lost");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["lines"] = benchmark::Counter(static_cast<double>(state.iterations()) * lineCount, benchmark::Counter::kIsRate);
    state.counters["line_bytes"] = static_cast<double>(bytes) / lineCount;
    std::filesystem::remove_all(pattern);
}

}

BENCHMARK(BM_SpoolReaderPoll)->Unit(benchmark::kMillisecond);
