#include "PawletKit/ProcInfo.hpp"
#include "PawletKit/ProcessAncestry.hpp"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace PawletKit;
namespace PA = PawletKit::ProcessAncestry;
namespace fs = std::filesystem;

namespace {

// A made-up process table: each entry holds the raw texts the kernel would show.
class FakeProcessTable final : public ProcessTable {
public:
    struct Process {
        std::string stat;
        std::optional<std::string> commandLine;
        std::optional<std::string> workingDirectory;
    };

    std::map<int32_t, Process> processes;

    void add(int32_t pid, std::string const& shortName, int32_t parent, int64_t terminal = 0,
        std::optional<std::string> commandLine = std::nullopt)
    {
        processes[pid].stat = std::to_string(pid) + " (" + shortName + ") S " + std::to_string(parent) + " " + std::to_string(pid)
            + " " + std::to_string(pid) + " " + std::to_string(terminal) + " -1 4194560 1178 0 0 0 3 1 0 0 20 0 1 0 4853\n";
        processes[pid].commandLine = std::move(commandLine);
    }

    std::optional<size_t> readStat(int32_t pid, std::span<char> buffer) const override
    {
        auto it = processes.find(pid);
        return it == processes.end() ? std::nullopt : copy(it->second.stat, buffer);
    }
    std::optional<size_t> readCommandLine(int32_t pid, std::span<char> buffer) const override
    {
        auto it = processes.find(pid);
        return it == processes.end() || !it->second.commandLine ? std::nullopt : copy(*it->second.commandLine, buffer);
    }
    std::optional<size_t> readWorkingDirectoryLink(int32_t pid, std::span<char> buffer) const override
    {
        auto it = processes.find(pid);
        return it == processes.end() || !it->second.workingDirectory ? std::nullopt : copy(*it->second.workingDirectory, buffer);
    }

private:
    static std::optional<size_t> copy(std::string const& text, std::span<char> buffer)
    {
        size_t count = std::min(text.size(), buffer.size());
        std::memcpy(buffer.data(), text.data(), count);
        return count;
    }
};

// Device numbers as the kernel encodes tty_nr.
int64_t device(uint32_t major, uint32_t minor)
{
    return static_cast<int64_t>((minor & 0xFF) | (major << 8) | ((minor & ~0xFFu) << 12));
}

std::string repeated(std::string const& piece, size_t times)
{
    std::string text;
    for (size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

}

TEST(ProcessAncestry, ReadsTheStatLine)
{
    struct Case {
        char const* name;
        std::string stat;
        std::optional<PA::Record> expected;
    };
    Case const cases[] = {
        { "plain", "42 (bash) S 41 42 42 34817 -1 4194560 0\n", PA::Record { 42, 41, 34817, "bash" } },
        { "name with spaces and parentheses", "42 (a) b (c) R 7 1 1 0 -1", PA::Record { 42, 7, 0, "a) b (c" } },
        { "name that looks like fields", "42 (x) S 99 9 9 1025 ) S 5 5 5 5 0\n", PA::Record { 42, 5, 5, "x) S 99 9 9 1025 " } },
        { "empty name", "42 () S 7 1 1 0 0", PA::Record { 42, 7, 0, "" } },
        { "another pid's line", "43 (bash) S 41 42 42 0 -1\n", std::nullopt },
        { "cut before the terminal", "42 (bash) S 41 42 42", std::nullopt },
        { "cut inside the terminal", "42 (bash) S 41 42 42 348", std::nullopt },
        { "no closing parenthesis", "42 (bash S 41 42 42 0 -1", std::nullopt },
        { "not numbers", "42 (bash) S x 42 42 0 -1", std::nullopt },
        { "parent out of range", "42 (bash) S 4294967296 42 42 0 -1", std::nullopt },
        { "empty", "", std::nullopt },
    };
    for (auto const& c : cases) {
        FakeProcessTable table;
        table.processes[42].stat = c.stat;
        EXPECT_EQ(PA::record(42, table), c.expected) << c.name;
    }
    FakeProcessTable table;
    EXPECT_EQ(PA::record(42, table), std::nullopt);
    EXPECT_EQ(PA::record(0, table), std::nullopt);
}

TEST(ProcessAncestry, NamesTerminalDevices)
{
    struct Case {
        int64_t device;
        std::optional<std::string> name;
    };
    Case const cases[] = {
        { 0, std::nullopt },
        { -1, std::nullopt },
        { device(136, 0), "pts/0" },
        { device(136, 3), "pts/3" },
        { device(136, 300), "pts/300" },
        { device(136, 70000), "pts/70000" },
        { device(143, 2), "pts/2" },
        { device(4, 1), "tty1" },
        { device(4, 63), "tty63" },
        { device(4, 64), "ttyS0" },
        { device(4, 65), "ttyS1" },
        { device(5, 0), std::nullopt },
        { device(5, 1), std::nullopt },
        { device(204, 64), std::nullopt },
        { device(135, 1), std::nullopt },
        { device(144, 1), std::nullopt },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(PA::terminalName(c.device), c.name) << c.device;
        if (c.name) {
            EXPECT_TRUE(PawletKit::ProcInfo::isValidTTYName(*c.name)) << *c.name;
        }
    }
}

TEST(ProcessAncestry, NamesProcessesByTheirProgram)
{
    using namespace std::string_literals;
    struct Case {
        char const* name;
        std::string shortName;
        std::optional<std::string> commandLine;
        std::string expected;
    };
    Case const cases[] = {
        { "cut by the kernel", "gnome-terminal-", "/usr/libexec/gnome-terminal-server\0--app-id\0x\0"s, "gnome-terminal-server" },
        // Shorter names were not cut: the arguments are not read at all.
        { "short name", "claude", "something-else\0--resume\0"s, "claude" },
        { "interpreter", "node", "node\0/usr/local/bin/codex\0"s, "node" },
        { "path with spaces", "pupnik-agent-lo", "/home/u/My Tools/pupnik-agent-long\0hook\0"s, "pupnik-agent-long" },
        { "rewritten title", "agent-superviso", "agent-supervisor: worker 3\0\0\0"s, "agent-superviso" },
        { "login shell", "my-very-long-sh", "-my-very-long-shell\0"s, "my-very-long-shell" },
        { "kernel thread", "kworker/u32:2-e", ""s, "kworker/u32:2-e" },
        { "unreadable arguments", "unreadable-prog", std::nullopt, "unreadable-prog" },
        { "argument ending in a slash", "tool-with-long-", "/opt/tool/\0"s, "tool-with-long-" },
        { "first argument longer than the buffer", "longname-longna", "/x/longname-longna" + std::string(5000, 'y'), "longname-longna" },
        { "not UTF-8", "bad\xFFxxxxxxxxxxx", "/bin/bad\xFFxxxxxxxxxxxy\xFE\0"s, "bad\uFFFDxxxxxxxxxxxy\uFFFD" },
        // Started with `exec -a`: the first argument names something else.
        { "another first argument", "long-running-se", "otherthing\0--flag\0"s, "long-running-se" },
        { "another path", "long-running-se", "/usr/bin/long-running\0"s, "long-running-se" },
        { "a name equal to the kernel's", "exactly15-bytes", "/opt/exactly15-bytes\0"s, "exactly15-bytes" },
    };
    for (auto const& c : cases) {
        FakeProcessTable table;
        table.add(42, c.shortName, 1, 0, c.commandLine);
        auto record = PA::record(42, table);
        ASSERT_TRUE(record) << c.name;
        EXPECT_EQ(PA::processName(42, *record, table), c.expected) << c.name;
    }
}

TEST(ProcessAncestry, CollectWalksUpTheChain)
{
    struct Process {
        int32_t pid;
        int32_t parent;
        int64_t terminal;
    };
    struct Case {
        char const* name;
        std::vector<Process> table;
        int32_t start;
        int maxDepth;
        std::vector<int32_t> pids;
        std::optional<std::string> tty;
    };
    std::vector<Process> const chain = {
        { 500, 400, 0 }, { 400, 300, device(136, 5) }, { 300, 200, device(136, 9) }, { 200, 1, 0 }, { 1, 0, 0 }
    };
    std::vector<Process> deep;
    for (int32_t pid = 1000; pid < 1012; ++pid)
        deep.push_back({ pid, pid + 1, pid == 1010 ? device(4, 2) : 0 });
    deep.push_back({ 1012, 1, 0 });
    Case const cases[] = {
        { "terminal on the second process, stops before pid 1", chain, 500, 6, { 500, 400, 300, 200 }, "pts/5" },
        { "depth reached", chain, 500, 2, { 500, 400 }, "pts/5" },
        { "terminal not reached", chain, 500, 1, { 500 }, std::nullopt },
        { "start is pid 1", chain, 1, 6, {}, std::nullopt },
        { "start is pid 0", chain, 0, 6, {}, std::nullopt },
        { "negative start", chain, -5, 6, {}, std::nullopt },
        { "depth 0", chain, 500, 0, {}, std::nullopt },
        { "start gone", chain, 77, 6, {}, std::nullopt },
        { "missing parent", { { 500, 400, 0 }, { 400, 399, 0 } }, 500, 6, { 500, 400 }, std::nullopt },
        { "console is no terminal name", { { 500, 400, device(5, 1) }, { 400, 1, device(4, 7) } }, 500, 6, { 500, 400 }, "tty7" },
        { "loop of two", { { 500, 400, 0 }, { 400, 500, 0 } }, 500, 6, { 500, 400 }, std::nullopt },
        { "own parent", { { 500, 500, 0 } }, 500, 6, { 500 }, std::nullopt },
        { "loop further up", { { 500, 400, 0 }, { 400, 300, 0 }, { 300, 400, device(136, 1) } }, 500, 1000000,
            { 500, 400, 300 }, "pts/1" },
        { "deep chain: eight kept, terminal found further up", deep, 1000, 20,
            { 1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007 }, "tty2" },
    };
    for (auto const& c : cases) {
        FakeProcessTable table;
        for (auto const& process : c.table)
            table.add(process.pid, "p" + std::to_string(process.pid), process.parent, process.terminal);
        ProcInfo info = PA::collect(c.start, c.maxDepth, table);
        EXPECT_EQ(info.pids, c.pids) << c.name;
        std::vector<std::string> names;
        for (int32_t pid : c.pids)
            names.push_back("p" + std::to_string(pid));
        EXPECT_EQ(info.names, names) << c.name;
        EXPECT_EQ(info.tty, c.tty) << c.name;
    }
}

TEST(ProcessAncestry, CollectCutsLongNames)
{
    FakeProcessTable table;
    // 80 characters of two bytes each; the kernel keeps 15 bytes of it, which ends inside a character.
    std::string longName = repeated("é", 80);
    for (int32_t pid = 100; pid < 110; ++pid)
        table.add(pid, longName.substr(0, 15), pid + 1, 0, "/opt/" + longName + std::string(1, '\0'));
    table.add(110, "init", 1);
    ProcInfo info = PA::collect(100, 20, table);
    ASSERT_EQ(info.names.size(), 8u);
    for (auto const& name : info.names)
        EXPECT_EQ(name, repeated("é", 64));
}

TEST(ProcessAncestry, WorkingDirectory)
{
    struct Case {
        std::optional<std::string> link;
        std::optional<std::string> expected;
    };
    Case const cases[] = {
        { "/home/u/project", "/home/u/project" },
        { "/home/u/my project (deleted) notes", "/home/u/my project (deleted) notes" },
        { "/home/u/old (deleted)", std::nullopt },
        { "(unreachable)/home/u", std::nullopt },
        { "relative", std::nullopt },
        { "", std::nullopt },
        { "/" + std::string(5000, 'd'), std::nullopt },
        { std::nullopt, std::nullopt },
    };
    for (auto const& c : cases) {
        FakeProcessTable table;
        table.add(42, "zsh", 1);
        table.processes[42].workingDirectory = c.link;
        EXPECT_EQ(PA::workingDirectory(42, table), c.expected) << c.link.value_or("<none>").substr(0, 40);
    }

    FakeProcessTable table;
    table.add(7, "a", 1);
    table.add(8, "b", 1);
    table.processes[8].workingDirectory = "/srv/b";
    table.add(9, "c", 1);
    table.processes[9].workingDirectory = "/srv/c";
    std::vector<int32_t> pids = { 0, -3, 7, 99, 8, 9 };
    EXPECT_EQ(PA::firstWorkingDirectory(pids, table), "/srv/b");
    EXPECT_EQ(PA::firstWorkingDirectory(std::vector<int32_t> { 0, 7 }, table), std::nullopt);
}

TEST(ProcessAncestry, CollectOnThisProcess)
{
    ProcInfo info = PA::collect(getpid());
    ASSERT_GE(info.pids.size(), 1u);
    EXPECT_EQ(info.pids[0], getpid());
    EXPECT_EQ(info.names[0], "PawletKitTests");
    if (getppid() > 1) {
        ASSERT_GE(info.pids.size(), 2u);
        EXPECT_EQ(info.pids[1], getppid());
        EXPECT_FALSE(info.names[1].empty());
    }
    EXPECT_EQ(info.names.size(), info.pids.size());
    EXPECT_LE(info.pids.size(), static_cast<size_t>(PA::defaultMaxDepth));
    EXPECT_EQ(std::count(info.pids.begin(), info.pids.end(), 1), 0);
    EXPECT_EQ(PA::workingDirectory(getpid()), fs::current_path().string());
}

TEST(ProcessAncestry, FindsTheControllingTerminalOfARealProcess)
{
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    std::string slave = ptsname(master);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A new session whose first terminal opened becomes its controlling terminal.
        setsid();
        int fd = open(slave.c_str(), O_RDWR);
        char byte = fd >= 0 ? 'y' : 'n';
        [[maybe_unused]] auto written = write(ready[1], &byte, 1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'y');

    ProcInfo info = PA::collect(child, 1);
    EXPECT_EQ(info.pids, std::vector<int32_t> { child });
    EXPECT_EQ(info.tty, slave.substr(std::string("/dev/").size()));

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(master);

    // Gone now: nothing to read, nothing to collect.
    EXPECT_EQ(PA::record(child), std::nullopt);
    EXPECT_TRUE(PA::collect(child).pids.empty());
    std::vector<int32_t> pids = { 0, child, getpid() };
    EXPECT_EQ(PA::firstWorkingDirectory(pids), fs::current_path().string());
}

TEST(ProcessAncestry, DeletedWorkingDirectoryReadsAsAbsent)
{
    fs::path previous = fs::current_path();
    char pattern[] = "/tmp/ancestry-cwd-XXXXXX";
    fs::path folder = mkdtemp(pattern);
    fs::current_path(folder);
    EXPECT_EQ(PA::workingDirectory(getpid()), folder.string());
    fs::remove(folder);
    EXPECT_EQ(PA::workingDirectory(getpid()), std::nullopt);
    fs::current_path(previous);
}
