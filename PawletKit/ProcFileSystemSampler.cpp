#include "PawletKit/ProcFileSystemSampler.hpp"

#include "PawletKit/CommandLineProgram.hpp"
#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/MonotonicClock.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <set>
#include <unistd.h>

namespace PawletKit {

namespace {

constexpr size_t maxCommandLineBytes = 8192;
constexpr size_t maxStatBytes = 4096;

// Up to `limit` bytes of a small file below the directory, read into `buffer`; nothing when it cannot
// be opened or read. With `lineEnds`, a read that ends a line ends the file: /proc/<pid>/stat is one
// line, produced whole, and this spares the read that would only find its end.
std::optional<std::string_view> readSmallFile(int directory, char const* relativePath, char* buffer, size_t limit, bool lineEnds)
{
    FileDescriptor fd(::openat(directory, relativePath, O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.isValid())
        return std::nullopt;
    size_t got = 0;
    while (got < limit) {
        ssize_t n = ::read(fd.get(), buffer + got, limit - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
            if (lineEnds && buffer[got - 1] == '\n')
                break;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0) {
            return std::nullopt;
        } else {
            break;
        }
    }
    return std::string_view(buffer, got);
}

struct StatFields {
    std::string_view comm;
    uint64_t cpuTicks { 0 };
    uint64_t startTime { 0 };
    // Where the kernel keeps the argument strings; 0 when it does not show them to this user.
    uint64_t argStart { 0 };
    uint64_t argEnd { 0 };
    bool kernelThread { false };
    // Start and argument area were both present: enough to tell the process from its successor.
    bool identifies { false };
};

constexpr uint64_t kernelThreadFlag = 0x00200000;

// "pid (comm) state ppid … flags … utime stime … starttime … arg_start arg_end …": comm may hold
// spaces and parentheses, so the fields are counted from the last ")". Up to stime they must be
// there; older kernels end the line before the argument area.
std::optional<StatFields> parseStat(std::string_view text)
{
    // A comm is at most 64 bytes: its ")" is looked for there, not from the line's far end.
    constexpr size_t longestComm = 64;
    size_t open = text.find('(');
    if (open == std::string_view::npos)
        return std::nullopt;
    size_t close = text.rfind(')', open + 1 + longestComm);
    if (close == std::string_view::npos || close < open)
        return std::nullopt;
    StatFields fields;
    fields.comm = text.substr(open + 1, close - open - 1);
    std::string_view rest = text.substr(close + 1);
    uint64_t utime = 0, stime = 0, flags = 0;
    auto number = [](std::string_view piece, uint64_t& target) {
        auto result = std::from_chars(piece.data(), piece.data() + piece.size(), target);
        return result.ec == std::errc() && result.ptr == piece.data() + piece.size();
    };
    constexpr int lastField = 49;
    char const* at = rest.data();
    char const* const end = at + rest.size();
    for (int field = 3; field <= lastField; ++field) {
        while (at != end && (*at == ' ' || *at == '\n'))
            ++at;
        char const* const start = at;
        while (at != end && *at != ' ' && *at != '\n')
            ++at;
        std::string_view const piece(start, size_t(at - start));
        if (piece.empty()) {
            if (field <= 15)
                return std::nullopt;
            break;
        }
        bool ok = true;
        switch (field) {
        case 9:
            ok = number(piece, flags);
            break;
        case 14:
            ok = number(piece, utime);
            break;
        case 15:
            ok = number(piece, stime);
            break;
        case 22:
            ok = number(piece, fields.startTime);
            break;
        case 48:
            ok = number(piece, fields.argStart);
            break;
        case 49:
            ok = fields.identifies = number(piece, fields.argEnd);
            break;
        default:
            break;
        }
        if (!ok) {
            if (field <= 15)
                return std::nullopt;
            fields.identifies = false;
            break;
        }
    }
    fields.cpuTicks = utime + stime;
    fields.kernelThread = (flags & kernelThreadFlag) != 0;
    return fields;
}

std::optional<int32_t> pidFromName(std::string_view name)
{
    if (name.empty() || name.front() < '1' || name.front() > '9')
        return std::nullopt;
    int32_t pid = 0;
    auto result = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (result.ec != std::errc() || result.ptr != name.data() + name.size() || pid < 1)
        return std::nullopt;
    return pid;
}

struct DirectoryCloser {
    void operator()(DIR* directory) const { closedir(directory); }
};

}

ProcFileSystemSampler::ProcFileSystemSampler()
    : ProcFileSystemSampler(Options {})
{
}

ProcFileSystemSampler::ProcFileSystemSampler(Options options)
    : m_options(std::move(options))
{
    if (!m_options.monotonicClock)
        m_options.monotonicClock = MonotonicClock::seconds;
    long ticks = sysconf(_SC_CLK_TCK);
    m_nanosPerTick = 1e9 / static_cast<double>(ticks > 0 ? ticks : 100);
}

std::string ProcFileSystemSampler::processName(std::string_view commandLine, std::string_view comm)
{
    return CommandLineProgram::name(commandLine, comm);
}

std::vector<ProcessSample> ProcFileSystemSampler::sample(ProcessNames const& names)
{
    double const now = m_options.monotonicClock();
    if (m_procBroken) {
        m_usedFallback = true;
        return PSFallback::sampleWithPS(names, m_options.ps);
    }

    std::unique_ptr<DIR, DirectoryCloser> listing;
    if (int fd = ::open(m_options.procRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
        listing.reset(fdopendir(fd));
        if (!listing)
            ::close(fd);
    }
    m_pids.clear();
    if (listing) {
        while (dirent const* entry = readdir(listing.get()))
            if (auto pid = pidFromName(entry->d_name))
                m_pids.push_back(*pid);
    }
    if (m_pids.empty()) {
        m_procBroken = true;
        m_usedFallback = true;
        return PSFallback::sampleWithPS(names, m_options.ps);
    }
    if (names.empty()) {
        m_lastCPU.clear();
        return {};
    }
    // /proc lists in pid order already; sorted, the last pass's processes are found by walking along.
    std::sort(m_pids.begin(), m_pids.end());
    if (!m_buffer)
        m_buffer = std::make_unique_for_overwrite<char[]>(maxCommandLineBytes);

    int const directory = dirfd(listing.get());
    std::vector<ProcessSample> samples;
    std::map<int32_t, Reading> readings;
    m_nextKnown.clear();
    auto known = m_known.begin();
    char path[32];
    for (int32_t pid : m_pids) {
        char* const file = std::to_chars(path, path + 12, pid).ptr;
        std::memcpy(file, "/stat", sizeof "/stat");
        auto statText = readSmallFile(directory, path, m_buffer.get(), maxStatBytes, true);
        if (!statText)
            continue;
        auto stat = parseStat(*statText);
        if (!stat)
            continue;
        while (known != m_known.end() && known->pid < pid)
            ++known;
        // A process keeps its name while its stat shows the same process: the same start (not a
        // successor under the pid), the same comm and argument area (no exec, no new title). A kernel
        // thread is known by its comm; a process whose argument area is hidden is read again.
        bool const same = known != m_known.end() && known->pid == pid && stat->identifies && known->startTime == stat->startTime
            && known->kernelThread == stat->kernelThread && known->comm == stat->comm && known->argStart == stat->argStart
            && known->argEnd == stat->argEnd && (stat->argStart != 0 || stat->kernelThread);
        Known next;
        if (same) {
            next = std::move(*known);
        } else {
            next.pid = pid;
            next.startTime = stat->startTime;
            next.argStart = stat->argStart;
            next.argEnd = stat->argEnd;
            next.kernelThread = stat->kernelThread;
            next.comm = std::string(stat->comm);
            // The stat text, comm with it, lives in the buffer the command line is read into.
            std::memcpy(file, "/cmdline", sizeof "/cmdline");
            auto commandLine = readSmallFile(directory, path, m_buffer.get(), maxCommandLineBytes, false);
            if (!commandLine)
                continue;
            next.name = processName(*commandLine, next.comm);
        }
        auto wanted = names.find(next.name);
        if (stat->identifies)
            m_nextKnown.push_back(std::move(next));
        if (wanted == names.end())
            continue;

        uint64_t const startTime = stat->startTime;
        double const cpuNanos = m_nanosPerTick * static_cast<double>(stat->cpuTicks);
        double cpuPercent = 0;
        if (auto last = m_lastCPU.find(pid); last != m_lastCPU.end() && last->second.startTime == startTime && last->second.at < now)
            cpuPercent = std::max((cpuNanos - last->second.cpuNanos) / 1e9, 0.0) / (now - last->second.at) * 100;
        readings[pid] = Reading { startTime, cpuNanos, now };
        samples.push_back(ProcessSample { *wanted, pid, cpuPercent });
    }
    std::swap(m_known, m_nextKnown);
    // Only the pids of this sampling keep a history; the rest read 0 when next seen.
    m_lastCPU = std::move(readings);
    return samples;
}

}
