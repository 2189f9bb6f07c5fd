#include "PawletKit/ProcessAncestry.hpp"

#include <benchmark/benchmark.h>
#include <unistd.h>

using namespace PawletKit;

// What every hook call pays: the chain above the agent tool.
static void collectParentChain(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ProcessAncestry::collect(getppid(), ProcessAncestry::defaultMaxDepth));
}
BENCHMARK(collectParentChain);

static void workingDirectoryOfThisProcess(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ProcessAncestry::workingDirectory(getpid()));
}
BENCHMARK(workingDirectoryOfThisProcess);
