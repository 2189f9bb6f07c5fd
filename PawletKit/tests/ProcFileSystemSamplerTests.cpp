#include "PawletKit/ProcFileSystemSampler.hpp"

#include "TestSupport.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

using namespace PawletKit;
using TestSupport::writeFile;
namespace fs = std::filesystem;

namespace {

std::string commandLine(std::vector<std::string> const& arguments)
{
    std::string bytes;
    for (auto const& argument : arguments)
        bytes += argument + '\0';
    return bytes;
}

// A child in its own process group; the whole group is killed when the value goes.
class Child {
public:
    explicit Child(std::vector<std::string> arguments)
    {
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        int error = posix_spawn(&m_pid, argv[0], &actions, &attributes, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        if (error != 0)
            throw std::system_error(error, std::generic_category(), "posix_spawn");
    }
    ~Child()
    {
        kill(-m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    Child(Child const&) = delete;
    Child& operator=(Child const&) = delete;
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid { 0 };
};

std::optional<ProcessSample> find(std::vector<ProcessSample> const& samples, pid_t pid)
{
    for (auto const& sample : samples)
        if (sample.pid == pid)
            return sample;
    return std::nullopt;
}

void writeExecutable(fs::path const& path, std::string const& text)
{
    writeFile(path, text);
    fs::permissions(path, fs::perms::owner_all);
}

}

// Agents run through interpreters and launchers are known by the program they run, found past the
// launcher's options and their values.
TEST(ProcFileSystemSampler, NameFromCommandLine)
{
    struct Case {
        std::vector<std::string> arguments;
        char const* comm;
        char const* expected;
    };
    Case const cases[] = {
        // Plain binaries.
        { { "/usr/local/bin/aider", "--yes" }, "aider", "aider" },
        { { "/home/u/.local/bin/cursor-agent", "--model", "gpt-5" }, "cursor-agent", "cursor-agent" },
        { { "gemini" }, "node", "gemini" },
        // node and friends, with options and their values.
        { { "node", "/usr/bin/gemini", "--model", "x" }, "node", "gemini" },
        { { "node", "--max-old-space-size", "4096", "/usr/lib/node_modules/.bin/gemini" }, "node", "gemini" },
        { { "/usr/bin/node", "--no-warnings", "--max-old-space-size=4096", "/opt/cli/bin/copilot" }, "node", "copilot" },
        { { "node", "--max-http-header-size", "16384", "/x/gemini" }, "node", "gemini" },
        { { "node", "--stack-size", "65500", "--require", "/opt/hook.js", "-r", "ts-node/register", "/x/opencode" }, "node", "opencode" },
        { { "node", "--import=tsx", "--title", "worker", "/x/amp", "--", "run" }, "node", "amp" },
        { { "node", "/usr/bin/npx", "-y", "--package", "x", "gemini" }, "node", "gemini" },
        { { "nodejs", "opencode" }, "nodejs", "opencode" },
        { { "node", "-e", "require('/x/gemini')" }, "node", "node" },
        { { "node", "--print", "1" }, "node", "node" },
        { { "node" }, "node", "node" },
        { { "node", "", "/x/gemini" }, "node", "gemini" },
        { { "Node", "/x/gemini" }, "Node", "Node" },
        { { "/home/u/.bun/bin/bun", "/home/u/.bun/bin/amp" }, "bun", "amp" },
        { { "bun", "run", "--cwd", "/x", "/x/kiro" }, "bun", "kiro" },
        { { "deno", "run", "-A", "--config", "deno.json", "/x/goose" }, "deno", "goose" },
        // uv and uvx.
        { { "/home/u/.local/bin/uv", "run", "aider" }, "uv", "aider" },
        { { "uv", "run", "--with", "pip", "--python", "3.12", "aider", "--model", "x" }, "uv", "aider" },
        { { "uv", "--directory", "/x", "tool", "run", "--from", "aider-chat", "aider" }, "uv", "aider" },
        { { "uv", "run", "python", "-m", "aider" }, "uv", "aider" },
        { { "uv", "pip", "install", "aider" }, "uv", "uv" },
        { { "uv", "run" }, "uv", "uv" },
        { { "uvx", "--python", "3.12", "goose" }, "uvx", "goose" },
        // Shells running a script.
        { { "sh", "/home/u/.local/bin/cursor-agent", "--resume" }, "sh", "cursor-agent" },
        { { "/bin/bash", "-e", "-o", "pipefail", "/opt/cursor/cursor-agent" }, "bash", "cursor-agent" },
        { { "/bin/sh", "-c", "cursor-agent --resume" }, "sh", "sh" },
        { { "bash", "-lc", "aider" }, "bash", "bash" },
        { { "zsh" }, "zsh", "zsh" },
        // Python.
        { { "python3", "-m", "aider" }, "python3", "aider" },
        { { "python3", "-u", "-W", "ignore", "-m", "aider.main", "--yes" }, "python3", "aider" },
        { { "python3", "-maider" }, "python3", "aider" },
        { { "python3", "-c", "import aider" }, "python3", "python3" },
        { { "/usr/bin/python3.11", "-u", "/home/u/.local/bin/goose" }, "python3.11", "goose" },
        { { "python", "-X", "dev", "/x/kiro" }, "python", "kiro" },
        { { "python3.", "/x/kiro" }, "python3.", "python3." },
        { { "python3.x", "/x/kiro" }, "python3.x", "python3.x" },
        { { "python2", "/x/kiro" }, "python2", "python2" },
        // Kernel threads and processes that cleared their arguments.
        { {}, "kworker/0:1", "kworker/0:1" },
        { {}, "my (odd) agent", "my (odd) agent" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(ProcFileSystemSampler::processName(commandLine(c.arguments), c.comm), c.expected) << commandLine(c.arguments);
    // A process that rewrote its arguments into one spaced text, without separators.
    EXPECT_EQ(ProcFileSystemSampler::processName("sshd: u@pts/3", "sshd"), "3");
}

TEST(ProcFileSystemSampler, RatesFromGrowthOfCPUTime)
{
    TestSupport::TemporaryDirectory proc;
    long const ticksPerSecond = sysconf(_SC_CLK_TCK);
    auto writeProcess = [&](int pid, std::vector<std::string> const& arguments, std::string const& comm, long ticksUser, long ticksSystem) {
        fs::path const folder = proc.path() / std::to_string(pid);
        writeFile(folder / "cmdline", commandLine(arguments));
        writeFile(folder / "stat",
            std::to_string(pid) + " (" + comm + ") S 1 1 1 0 -1 4194304 100 0 0 0 " + std::to_string(ticksUser) + " "
                + std::to_string(ticksSystem) + " 0 0 20 0 1 0 100 1000 100 18446744073709551615\n");
    };
    double clock = 100;
    ProcFileSystemSampler::Options options;
    options.procRoot = proc.path();
    options.monotonicClock = [&clock] { return clock; };
    options.ps.program = "/nonexistent/ps";
    ProcFileSystemSampler sampler(options);
    ProcessNames const wanted { "aider", "gemini", "my (odd) agent", "codex" };

    writeProcess(501, { "/usr/bin/aider" }, "aider", 10 * ticksPerSecond, 0);
    writeProcess(502, { "node", "/usr/bin/gemini" }, "node", 0, 0);
    writeProcess(503, {}, "my (odd) agent", 0, 0);
    writeProcess(504, { "/bin/bash" }, "bash", 0, 0);
    writeProcess(505, { "/usr/bin/codex" }, "codex", 50 * ticksPerSecond, 0);
    fs::create_directories(proc.path() / "self");
    writeFile(proc.path() / "uptime", "1 1\n");
    // A process gone between listing and reading, and one with a stat that does not parse.
    fs::create_directories(proc.path() / "506");
    writeProcess(507, { "aider" }, "aider", 0, 0);
    writeFile(proc.path() / "507" / "stat", "507 (aider S 1\n");

    auto first = sampler.sample(wanted);
    ASSERT_EQ(first.size(), 4u);
    for (auto const& sample : first)
        EXPECT_EQ(sample.cpuPercent, 0) << sample.name;
    EXPECT_EQ(find(first, 503)->name, "my (odd) agent");
    EXPECT_EQ(find(first, 502)->name, "gemini");

    // Two seconds on: aider used one more second, gemini four (two processors), the odd one none;
    // codex's counter went backwards.
    clock += 2;
    writeProcess(501, { "/usr/bin/aider" }, "aider", 10 * ticksPerSecond + ticksPerSecond / 2, ticksPerSecond / 2);
    writeProcess(502, { "node", "/usr/bin/gemini" }, "node", 4 * ticksPerSecond, 0);
    writeProcess(505, { "/usr/bin/codex" }, "codex", 40 * ticksPerSecond, 0);
    auto second = sampler.sample(wanted);
    EXPECT_DOUBLE_EQ(find(second, 501)->cpuPercent, 50);
    EXPECT_DOUBLE_EQ(find(second, 502)->cpuPercent, 200);
    EXPECT_DOUBLE_EQ(find(second, 503)->cpuPercent, 0);
    EXPECT_DOUBLE_EQ(find(second, 505)->cpuPercent, 0);

    // Not wanted this time: its history goes, and it reads 0 when wanted again.
    clock += 2;
    EXPECT_FALSE(find(sampler.sample({ "gemini" }), 501));
    clock += 2;
    writeProcess(501, { "/usr/bin/aider" }, "aider", 20 * ticksPerSecond, 0);
    EXPECT_DOUBLE_EQ(find(sampler.sample(wanted), 501)->cpuPercent, 0);
    // A clock that did not move gives no rate.
    writeProcess(501, { "/usr/bin/aider" }, "aider", 30 * ticksPerSecond, 0);
    EXPECT_DOUBLE_EQ(find(sampler.sample(wanted), 501)->cpuPercent, 0);
    EXPECT_TRUE(sampler.sample({}).empty());
    EXPECT_FALSE(sampler.usedFallback());
}

// A sampler that has seen the processes before names them as one that reads everything afresh,
// whatever became of them between two passes; only the CPU rates tell the two apart.
TEST(ProcFileSystemSampler, KnownProcessesNamedAsOnAFirstSight)
{
    TestSupport::TemporaryDirectory proc;
    long const ticksPerSecond = sysconf(_SC_CLK_TCK);
    struct Process {
        std::vector<std::string> arguments;
        std::string comm;
        long ticks { 0 };
        long startTime { 100 };
        long argStart { 0x7ffd0000 };
        long argEnd { 0x7ffd0020 };
        long flags { 0x400000 };
    };
    auto write = [&](int pid, Process const& p) {
        fs::path const folder = proc.path() / std::to_string(pid);
        writeFile(folder / "cmdline", commandLine(p.arguments));
        std::string stat = std::to_string(pid) + " (" + p.comm + ") S 1 1 1 0 -1 " + std::to_string(p.flags) + " 0 0 0 0 "
            + std::to_string(p.ticks) + " 0 0 0 20 0 1 0 " + std::to_string(p.startTime) + " 1000 100 18446744073709551615";
        // startcode to start_brk, then the argument area, then the environment and exit code.
        for (int field = 26; field <= 47; ++field)
            stat += " 0";
        stat += " " + std::to_string(p.argStart) + " " + std::to_string(p.argEnd) + " 0 0 0\n";
        writeFile(folder / "stat", stat);
    };
    struct Case {
        char const* what;
        Process before;
        Process after;
        double cpuPercent; // of the known sampler's second pass, when the process is found
    };
    Process const aider { { "/usr/bin/aider" }, "aider" };
    Process const shell { { "/bin/sh", "-c", "aider" }, "sh" };
    Process const node { { "node" }, "node" };
    Case const cases[] = {
        { "unchanged, busy", aider, { { "/usr/bin/aider" }, "aider", ticksPerSecond }, 50 },
        { "exec with a new comm", shell, { { "/usr/bin/aider" }, "aider", 0, 100, 0x7ffe0000, 0x7ffe0010 }, 0 },
        { "exec of the same program", node, { { "node", "/x/gemini" }, "node", 0, 100, 0x7ffe0000, 0x7ffe0020 }, 0 },
        { "a new title with its comm", node, { { "gemini" }, "gemini" }, 0 },
        { "the pid taken by a successor", shell, { { "/usr/bin/aider" }, "aider", ticksPerSecond, 300 }, 0 },
        { "a successor with the same comm", aider, { { "/bin/aider-helper" }, "aider", ticksPerSecond, 300 }, 0 },
        { "a zombie", { { "node", "/x/gemini" }, "node" }, { {}, "node", 0, 100, 0, 0 }, 0 },
        { "arguments hidden from this user", { { "/bin/sh", "-c", "aider" }, "sh", 0, 100, 0, 0 }, { { "/usr/bin/aider" }, "sh", 0, 100, 0, 0 }, 0 },
        { "no longer a kernel thread", { {}, "aider", 0, 100, 0, 0, 0x200000 }, { { "/usr/bin/gemini" }, "aider" }, 0 },
    };
    ProcessNames const wanted { "aider", "gemini", "sh", "node", "aider-helper" };
    double clock = 10;
    ProcFileSystemSampler::Options options;
    options.procRoot = proc.path();
    options.monotonicClock = [&clock] { return clock; };
    options.ps.program = "/nonexistent/ps";
    ProcFileSystemSampler known(options);
    for (size_t i = 0; i < std::size(cases); ++i)
        write(int(600 + i), cases[i].before);
    known.sample(wanted);
    clock += 2;
    for (size_t i = 0; i < std::size(cases); ++i)
        write(int(600 + i), cases[i].after);
    auto const second = known.sample(wanted);
    auto const fresh = ProcFileSystemSampler(options).sample(wanted);
    for (size_t i = 0; i < std::size(cases); ++i) {
        auto const seen = find(second, pid_t(600 + i));
        auto const expected = find(fresh, pid_t(600 + i));
        ASSERT_EQ(seen.has_value(), expected.has_value()) << cases[i].what;
        if (!seen)
            continue;
        EXPECT_EQ(seen->name, expected->name) << cases[i].what;
        EXPECT_DOUBLE_EQ(seen->cpuPercent, cases[i].cpuPercent) << cases[i].what;
    }
}

TEST(ProcFileSystemSampler, FallsBackToPSForGoodWhenProcCannotBeListed)
{
    TestSupport::TemporaryDirectory temporary;
    fs::path const ps = temporary.path() / "ps";
    writeExecutable(ps, "#!/bin/sh\nprintf '  501  12.5 /usr/local/bin/aider\\n  502 3.0 gemini\\n'\n");
    fs::path const emptyProc = temporary.path() / "proc";
    fs::create_directories(emptyProc / "self");
    for (fs::path const& root : { fs::path(temporary.path() / "missing"), emptyProc }) {
        ProcFileSystemSampler::Options options;
        options.procRoot = root;
        options.ps.program = ps;
        ProcFileSystemSampler sampler(options);
        EXPECT_FALSE(sampler.usedFallback());
        EXPECT_EQ(sampler.sample({ "aider" }), (std::vector<ProcessSample> { { "aider", 501, 12.5 } }));
        EXPECT_TRUE(sampler.usedFallback());
        // Even once /proc could be listed, the fallback stays.
        writeFile(root / "1" / "cmdline", commandLine({ "aider" }));
        writeFile(root / "1" / "stat", "1 (aider) S 0 0 0 0 -1 0 0 0 0 0 0 0 0 0\n");
        EXPECT_EQ(sampler.sample({ "aider", "gemini" }),
            (std::vector<ProcessSample> { { "aider", 501, 12.5 }, { "gemini", 502, 3.0 } }));
        EXPECT_TRUE(sampler.sample({}).empty());
    }
}

TEST(ProcFileSystemSampler, RealProcessesBusyQuietAndScripts)
{
    // Scripts run by an interpreter are known by the script's name. "python3" here is the shell under
    // that name, so the test needs nothing beyond /bin/sh.
    TestSupport::TemporaryDirectory temporary;
    fs::path const dir = temporary.path();
    fs::create_symlink("/bin/sh", dir / "python3");
    std::string const shebang = "#!" + (dir / "python3").string() + "\n";
    writeExecutable(dir / "busy-agent", shebang + "while :; do :; done\n");
    writeExecutable(dir / "quiet-agent", shebang + "sleep 60\n");
    writeExecutable(dir / "relayed-agent", shebang + "sleep 60\n");

    Child busy({ (dir / "busy-agent").string() });
    Child quiet({ (dir / "quiet-agent").string() });
    // Started through /bin/sh, which runs the script as its own child.
    Child shell({ "/bin/sh", "-c", (dir / "relayed-agent").string() + "; true" });
    std::optional<Child> python;
    for (char const* candidate : { "/usr/bin/python3", "/usr/local/bin/python3" }) {
        if (access(candidate, X_OK) == 0) {
            writeFile(dir / "py-agent", "import time\ntime.sleep(60)\n");
            python.emplace(std::vector<std::string> { candidate, "-u", (dir / "py-agent").string() });
            break;
        }
    }

    ProcFileSystemSampler sampler;
    ProcessNames const wanted { "busy-agent", "quiet-agent", "relayed-agent", "py-agent" };
    std::vector<ProcessSample> samples;
    for (int attempt = 0; attempt < 50; ++attempt) {
        samples = sampler.sample(wanted);
        if (samples.size() == (python ? 4u : 3u))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Each sample covers the time since the last. A loaded machine may give the loop less than the
    // busy threshold in one stretch, but not in every one of several.
    auto busyEnough = [&] {
        auto sample = find(samples, busy.pid());
        return sample && sample->cpuPercent > 15;
    };
    for (int stretch = 0; stretch < 12; ++stretch) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        samples = sampler.sample(wanted);
        if (busyEnough())
            break;
    }

    auto busySample = find(samples, busy.pid());
    ASSERT_TRUE(busySample);
    EXPECT_EQ(busySample->name, "busy-agent");
    EXPECT_GT(busySample->cpuPercent, 15); // the busy threshold
    auto quietSample = find(samples, quiet.pid());
    ASSERT_TRUE(quietSample);
    EXPECT_EQ(quietSample->name, "quiet-agent");
    EXPECT_LT(quietSample->cpuPercent, 3);
    size_t relayed = 0;
    for (auto const& sample : samples)
        relayed += sample.name == "relayed-agent" ? 1 : 0;
    // The script's shell may be caught between fork and exec of "sleep", a second process of the
    // same name for a moment; what matters is that the relaying "/bin/sh -c" is not taken for it.
    EXPECT_GE(relayed, 1u);
    EXPECT_FALSE(find(samples, shell.pid()));
    if (python) {
        auto pythonSample = find(samples, python->pid());
        ASSERT_TRUE(pythonSample);
        EXPECT_EQ(pythonSample->name, "py-agent");
    }
    EXPECT_FALSE(sampler.usedFallback());
}
