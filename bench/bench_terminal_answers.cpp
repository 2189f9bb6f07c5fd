// Reading the tools' listings runs on the main thread while a click waits for its window: a busy
// desktop's listing, and the largest one accepted.
#include "app-core/Focus/KittyCLI.hpp"
#include "app-core/Focus/ToolListing.hpp"
#include "app-core/Focus/WezTermCLI.hpp"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

using namespace PupnikCore;

namespace {

// kitty prints each window's environment; a desktop shell has a few dozen variables.
std::string kittyListing(int windows)
{
    std::string environment;
    for (int i = 0; i < 40; ++i)
        environment += (i ? "," : "") + std::string("\"VARIABLE_") + std::to_string(i) + "\":\"/usr/local/share/some/value/" + std::to_string(i) + "\"";
    std::string text = R"([{"id":1,"tabs":[{"id":1,"windows":[)";
    for (int i = 0; i < windows; ++i) {
        text += (i ? "," : "") + std::string(R"({"id":)") + std::to_string(i + 1) + R"(,"title":"zsh","pid":)" + std::to_string(10000 + i)
            + R"(,"cwd":"/home/me/project/)" + std::to_string(i) + R"(","cmdline":["/usr/bin/zsh"],"env":{)" + environment
            + R"(},"foreground_processes":[{"pid":)" + std::to_string(20000 + i) + R"(,"cwd":"/home/me","cmdline":["node","claude"]}]})";
    }
    return text + "]}]}]";
}

std::string weztermListing(int panes)
{
    std::string text = "[";
    for (int i = 0; i < panes; ++i)
        text += (i ? "," : "") + std::string(R"({"window_id":0,"tab_id":)") + std::to_string(i) + R"(,"pane_id":)" + std::to_string(i)
            + R"(,"workspace":"default","size":{"rows":48,"cols":160,"pixel_width":1920,"pixel_height":1056,"dpi":96},"title":"zsh",)"
            + R"("cwd":"file://host/home/me","cursor_x":0,"cursor_y":0,"cursor_shape":"Default","cursor_visibility":"Visible",)"
            + R"("left_col":0,"top_row":0,"tab_title":"","window_title":"zsh","is_active":false,"is_zoomed":false,"tty_name":"/dev/pts/)"
            + std::to_string(i) + R"("})";
    return text + "]";
}

void BM_KittyWindowByProcess(benchmark::State& state)
{
    std::string listing = kittyListing(static_cast<int>(state.range(0)));
    std::vector<int32_t> pids { 4188, 20000 + static_cast<int32_t>(state.range(0)) - 1 };
    for (auto _ : state)
        benchmark::DoNotOptimize(KittyCLI::windowID(listing, pids, std::nullopt));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * listing.size()));
}

void BM_WezTermPane(benchmark::State& state)
{
    std::string listing = weztermListing(static_cast<int>(state.range(0)));
    std::string tty = "pts/" + std::to_string(state.range(0) - 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(WezTermCLI::paneID(listing, tty));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * listing.size()));
}

}

BENCHMARK(BM_KittyWindowByProcess)->Arg(20)->Arg(400)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WezTermPane)->Arg(20)->Arg(4096)->Unit(benchmark::kMicrosecond);
