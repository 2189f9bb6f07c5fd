#include "PawletKit/ApprovalSummary.hpp"

#include <benchmark/benchmark.h>

using namespace PawletKit;

namespace {

std::string numbered(char const* prefix, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += prefix + std::to_string(i) + " some ordinary source text\n";
    return text;
}

// Both sides at the 600-line bound with nothing in common: the full comparison table, every line changed.
void BM_EditWorstCase(benchmark::State& state)
{
    JSON::Value const input { { "file_path", "/p/x.cpp" }, { "old_string", numbered("old ", 600) }, { "new_string", numbered("new ", 600) } };
    for (auto _ : state)
        benchmark::DoNotOptimize(ApprovalSummary::summarize("Edit", &input, {}));
}
BENCHMARK(BM_EditWorstCase)->Unit(benchmark::kMillisecond);

// A typical edit: a few changed lines in a 200-line text.
void BM_EditTypical(benchmark::State& state)
{
    std::string const old = numbered("line ", 200);
    std::string changed = old;
    changed.replace(changed.find("line 100 "), 9, "LINE 100 ");
    JSON::Value const input { { "file_path", "/p/x.cpp" }, { "old_string", old }, { "new_string", changed } };
    for (auto _ : state)
        benchmark::DoNotOptimize(ApprovalSummary::summarize("Edit", &input, {}));
}
BENCHMARK(BM_EditTypical)->Unit(benchmark::kMicrosecond);

}
