// The menu model is built each time the menu is about to open: three reads of the agent's settings
// file and a look at the codex folder.
#include "PawletKit/SettingsInstaller.hpp"
#include "Pupnik/MenuModelBuilder.hpp"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

struct Home {
    std::filesystem::path root = std::filesystem::temp_directory_path() / ("pupnik-bench-menu-" + std::to_string(::getpid()));
    std::filesystem::path settings = root / "settings.json";

    Home()
    {
        std::filesystem::create_directories(root);
        auto installed = PawletKit::SettingsInstaller::install(PawletKit::JSON::Value::object(), "/x/bin/pupnik-agent", std::nullopt).settings;
        std::ofstream(settings) << installed.dump(2);
    }
    ~Home()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
};

void makeMenuModelWithoutDriver(benchmark::State& state)
{
    Home home;
    Platform::SystemClock clock;
    PupnikCore::ClaudeConnector connector(home.settings, PawletKit::Paths::withBase(home.root / "support"), {}, {}, clock);
    Pupnik::LaunchOptions options(PawletKit::Environment { { "PUPNIK_CODEX_SESSIONS_DIR", home.root.string() } }, PawletKit::Date {}, home.root);
    Pupnik::MenuModelInputs inputs;
    inputs.connector = &connector;
    inputs.options = &options;
    for (auto _ : state)
        benchmark::DoNotOptimize(Pupnik::MenuModelBuilder::makeMenuModel(inputs));
}
BENCHMARK(makeMenuModelWithoutDriver);

}
