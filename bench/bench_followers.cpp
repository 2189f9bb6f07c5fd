#include "PawletKit/CodexRolloutTailer.hpp"
#include "PawletKit/ProcFileSystemSampler.hpp"
#include "PawletKit/ProcessActivitySource.hpp"

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace PawletKit;
namespace fs = std::filesystem;

namespace {

std::string readAll(fs::path const& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every name the sampler would see on this machine, so that every process is read in full.
ProcessNames everyNameOnThisMachine()
{
    ProcessNames names;
    for (auto const& entry : fs::directory_iterator("/proc")) {
        std::string const pid = entry.path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string stat = readAll(entry.path() / "stat");
        auto open = stat.find('('), close = stat.rfind(')');
        std::string comm = open != std::string::npos && close != std::string::npos ? stat.substr(open + 1, close - open - 1) : "";
        names.insert(ProcFileSystemSampler::processName(readAll(entry.path() / "cmdline"), comm));
    }
    return names;
}

size_t processCount()
{
    size_t processes = 0;
    for (auto const& entry : fs::directory_iterator("/proc"))
        processes += entry.path().filename().string().find_first_not_of("0123456789") == std::string::npos ? 1 : 0;
    return processes;
}

// Sleeping children that bring the machine to a desktop's count of processes, gone with the value.
class ProcessFiller {
public:
    explicit ProcessFiller(size_t target)
    {
        for (size_t count = processCount(); count < target; ++count) {
            pid_t pid = fork();
            if (pid == 0) {
                execl("/bin/sleep", "sleep", "600", static_cast<char*>(nullptr));
                _exit(127);
            }
            if (pid < 0)
                break;
            m_children.push_back(pid);
        }
    }
    ~ProcessFiller()
    {
        for (pid_t pid : m_children)
            kill(pid, SIGKILL);
        for (pid_t pid : m_children)
            waitpid(pid, nullptr, 0);
    }
    ProcessFiller(ProcessFiller const&) = delete;
    ProcessFiller& operator=(ProcessFiller const&) = delete;

private:
    std::vector<pid_t> m_children;
};

constexpr size_t desktopProcesses = 400;

// A pass over at least 400 processes, as a user's desktop runs it: wanting the agents' names only, or
// every name so that every process is a match.
void samplingPass(benchmark::State& state)
{
    ProcessFiller filler(desktopProcesses);
    ProcFileSystemSampler sampler;
    ProcessNames names;
    if (state.range(0) == 0) {
        auto const& agents = ProcessActivitySource::defaultAgentNames();
        names.insert(agents.begin(), agents.end());
    } else {
        names = everyNameOnThisMachine();
    }
    size_t const processes = processCount();
    size_t found = 0;
    for (auto _ : state) {
        auto samples = sampler.sample(names);
        found = samples.size();
        benchmark::DoNotOptimize(samples);
    }
    state.counters["processes"] = static_cast<double>(processes);
    state.counters["matched"] = static_cast<double>(found);
}
BENCHMARK(samplingPass)->Arg(0)->Arg(1)->ArgNames({ "everyName" })->Unit(benchmark::kMicrosecond);

// A transcript of about 50 MB with the kinds of records codex writes, most of them not events.
std::string transcript(size_t targetBytes)
{
    std::string const text(900, 't');
    std::string const output(2000, 'o');
    std::string out;
    out.reserve(targetBytes + 4096);
    for (int i = 0; out.size() < targetBytes; ++i) {
        std::string const ts = R"("timestamp":"2026-03-07T11:)" + std::string(i % 60 < 10 ? "0" : "") + std::to_string(i % 60) + R"(:00.123Z")";
        out += "{" + ts + R"(,"type":"response_item","payload":{"type":"message","role":"assistant","content":[{"type":"output_text","text":")" + text + "\"}]}}\n";
        out += "{" + ts + R"(,"type":"event_msg","payload":{"type":"agent_reasoning","text":")" + text.substr(0, 300) + "\"}}\n";
        out += "{" + ts + R"(,"type":"response_item","payload":{"type":"function_call","name":"shell","arguments":"{\"command\":[\"bash\",\"-lc\",\"ls -la\"]}","call_id":"call_)" + std::to_string(i) + "\"}}\n";
        out += "{" + ts + R"(,"type":"response_item","payload":{"type":"function_call_output","call_id":"call_)" + std::to_string(i) + R"(","output":")" + output + "\"}}\n";
        out += "{" + ts + R"(,"type":"event_msg","payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":)" + std::to_string(1000 * i)
            + R"(,"cached_input_tokens":0,"output_tokens":)" + std::to_string(100 * i)
            + R"(,"total_tokens":1},"last_token_usage":{"input_tokens":1}},"rate_limits":{"primary":{"used_percent":12.0,"window_minutes":300,"resets_at":1772890000},"secondary":{"used_percent":3.0,"window_minutes":10080,"resets_at":1773400000}}}})"
              "\n";
    }
    return out;
}

void followTranscript(benchmark::State& state)
{
    double const now = 1772884800; // 2026-03-07T12:00:00Z
    fs::path const root = fs::temp_directory_path() / ("pupnik-bench-followers-" + std::to_string(getpid()));
    fs::path const file = root / "sessions" / "2026" / "03" / "07" / "rollout-bench.jsonl";
    fs::create_directories(file.parent_path());
    std::string const bytes = transcript(50 * 1000 * 1000);
    std::ofstream(file, std::ios::binary) << bytes;
    timespec times[2] = { { static_cast<time_t>(now - 60), 0 }, { static_cast<time_t>(now - 60), 0 } };
    utimensat(AT_FDCWD, file.c_str(), times, 0);

    CodexRolloutTailer::Config config;
    config.startTailBytes = static_cast<int64_t>(bytes.size()); // replay it all from the first byte
    int64_t events = 0;
    for (auto _ : state) {
        CodexRolloutTailer tailer(root / "sessions", config, CodexRolloutTailer::fixedOffsetCalendar(0), [&] { return Date::fromSeconds(now); });
        tailer.start(Date::fromSeconds(now));
        double t = now;
        while (tailer.bytesRead() < static_cast<int64_t>(bytes.size())) {
            auto batch = tailer.poll(Date::fromSeconds(t));
            benchmark::DoNotOptimize(batch);
            t += 1;
        }
        events = tailer.eventsEmitted();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
    state.counters["events"] = static_cast<double>(events);
    state.counters["MB"] = static_cast<double>(bytes.size()) / 1e6;
    fs::remove_all(root);
}
BENCHMARK(followTranscript)->Unit(benchmark::kMillisecond)->Iterations(5);

}
