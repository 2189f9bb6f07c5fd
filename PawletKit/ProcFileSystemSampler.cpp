#include "PawletKit/ProcFileSystemSampler.hpp"

#include "PawletKit/CommandLineProgram.hpp"
#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/MonotonicClock.hpp"

#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <set>
#include <unistd.h>

namespace PawletKit {

namespace {

constexpr size_t maxCommandLineBytes = 8192;
constexpr size_t maxStatBytes = 4096;

// Up to `limit` bytes of a small file below the directory; nothing when it cannot be opened or read.
std::optional<std::string> readSmallFile(int directory, std::string const& relativePath, size_t limit)
{
    FileDescriptor fd(::openat(directory, relativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.isValid())
        return std::nullopt;
    std::string bytes(limit, '\0');
    size_t got = 0;
    while (got < limit) {
        ssize_t n = ::read(fd.get(), bytes.data() + got, limit - got);
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0)
            return std::nullopt;
        else
            break;
    }
    bytes.resize(got);
    return bytes;
}

struct StatFields {
    std::string comm;
    uint64_t cpuTicks { 0 };
};

// "pid (comm) state ppid … utime stime …": comm may hold spaces and parentheses, so the fields are
// counted from the last ")".
std::optional<StatFields> parseStat(std::string_view text)
{
    size_t open = text.find('(');
    size_t close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return std::nullopt;
    StatFields fields;
    fields.comm = std::string(text.substr(open + 1, close - open - 1));
    std::string_view rest = text.substr(close + 1);
    // After the comm: state is field 3, utime field 14, stime field 15.
    uint64_t utime = 0, stime = 0;
    for (int field = 3; field <= 15; ++field) {
        while (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
        size_t end = rest.find(' ');
        std::string_view piece = rest.substr(0, end);
        if (piece.empty())
            return std::nullopt;
        rest.remove_prefix(piece.size());
        if (field == 14 || field == 15) {
            uint64_t& target = field == 14 ? utime : stime;
            auto result = std::from_chars(piece.data(), piece.data() + piece.size(), target);
            if (result.ec != std::errc() || result.ptr != piece.data() + piece.size())
                return std::nullopt;
        }
    }
    fields.cpuTicks = utime + stime;
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
    std::vector<int32_t> pids;
    if (listing) {
        while (dirent const* entry = readdir(listing.get()))
            if (auto pid = pidFromName(entry->d_name))
                pids.push_back(*pid);
    }
    if (pids.empty()) {
        m_procBroken = true;
        m_usedFallback = true;
        return PSFallback::sampleWithPS(names, m_options.ps);
    }

    int const directory = dirfd(listing.get());
    std::vector<ProcessSample> samples;
    std::map<int32_t, Reading> readings;
    for (int32_t pid : pids) {
        if (names.empty())
            break;
        std::string const prefix = std::to_string(pid) + "/";
        auto commandLine = readSmallFile(directory, prefix + "cmdline", maxCommandLineBytes);
        if (!commandLine)
            continue;
        std::optional<StatFields> stat;
        auto readStat = [&] {
            if (auto text = readSmallFile(directory, prefix + "stat", maxStatBytes))
                stat = parseStat(*text);
        };
        std::string name;
        if (commandLine->empty()) {
            readStat();
            if (!stat)
                continue;
            name = stat->comm;
        } else {
            name = processName(*commandLine, {});
        }
        auto wanted = names.find(name);
        if (wanted == names.end())
            continue;
        if (!stat)
            readStat();
        if (!stat)
            continue;

        double const cpuNanos = m_nanosPerTick * static_cast<double>(stat->cpuTicks);
        double cpuPercent = 0;
        if (auto last = m_lastCPU.find(pid); last != m_lastCPU.end() && last->second.at < now)
            cpuPercent = std::max((cpuNanos - last->second.cpuNanos) / 1e9, 0.0) / (now - last->second.at) * 100;
        readings[pid] = Reading { cpuNanos, now };
        samples.push_back(ProcessSample { *wanted, pid, cpuPercent });
    }
    // Only the pids of this sampling keep a history; the rest read 0 when next seen.
    m_lastCPU = std::move(readings);
    return samples;
}

}
