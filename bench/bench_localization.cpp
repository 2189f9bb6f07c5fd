#include "app-core/Language.hpp"
#include "app-core/Localizer.hpp"
#include "shared/TemplateFormatter.hpp"

#include <benchmark/benchmark.h>

using namespace PupnikCore;

namespace {

// The menu looks texts up on every render: a lookup that falls back to English is the slow road.
void BM_LookupWithEnglishFallback(benchmark::State& state)
{
    Localizer::Table english;
    for (int index = 0; index < 150; ++index)
        english.emplace("menu.key" + std::to_string(index), "Some menu text " + std::to_string(index));
    Localizer localizer(Language::de, { { Language::en, english }, { Language::de, { { "menu.key1", "Text" } } } });
    for (auto _ : state)
        benchmark::DoNotOptimize(localizer.string("menu.key77"));
}
BENCHMARK(BM_LookupWithEnglishFallback);

void BM_FormatQuotaLine(benchmark::State& state)
{
    std::vector<PawletShared::TemplateArgument> const arguments { "5-hour", std::int64_t(63) };
    for (auto _ : state)
        benchmark::DoNotOptimize(PawletShared::TemplateFormatter::format("%1$@ %2$lld%%", arguments));
}
BENCHMARK(BM_FormatQuotaLine);

void BM_MatchLocaleIdentifier(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Language::matching("es-Latn-419"));
}
BENCHMARK(BM_MatchLocaleIdentifier);

}
