#include "PawletKit/ProcessAncestry.hpp"

#include "PawletKit/Text.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

namespace PawletKit::ProcessAncestry {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads an optionally negative decimal at `at` and moves past it; false on no digits or overflow.
bool readInteger(std::string_view text, size_t& at, int64_t& value)
{
    bool negative = at < text.size() && text[at] == '-';
    size_t position = at + (negative ? 1 : 0);
    size_t start = position;
    int64_t result = 0;
    while (position < text.size() && isDigit(text[position])) {
        int digit = text[position] - '0';
        if (result > (std::numeric_limits<int64_t>::max() - digit) / 10)
            return false;
        result = result * 10 + digit;
        ++position;
    }
    if (position == start)
        return false;
    value = negative ? -result : result;
    at = position;
    return true;
}

bool skipSpace(std::string_view text, size_t& at)
{
    if (at >= text.size() || text[at] != ' ')
        return false;
    ++at;
    return true;
}

// "pid (comm) state ppid pgrp session tty_nr ...". The name may hold spaces and parentheses of its own,
// so it ends at the last ")" in the line: nothing after it can hold one.
std::optional<Record> parseStat(std::string_view line)
{
    Record record;
    size_t at = 0;
    int64_t pid = 0;
    if (!readInteger(line, at, pid) || pid < 1 || pid > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    if (line.substr(at, 2) != " (")
        return std::nullopt;
    size_t nameStart = at + 2;
    size_t nameEnd = line.rfind(')');
    if (nameEnd == std::string_view::npos || nameEnd < nameStart)
        return std::nullopt;
    at = nameEnd + 1;
    if (!skipSpace(line, at) || at >= line.size() || line[at] == ' ')
        return std::nullopt;
    ++at; // the state letter
    int64_t parentPid = 0;
    int64_t processGroup = 0;
    int64_t session = 0;
    int64_t terminal = 0;
    if (!skipSpace(line, at) || !readInteger(line, at, parentPid) || !skipSpace(line, at)
        || !readInteger(line, at, processGroup) || !skipSpace(line, at) || !readInteger(line, at, session)
        || !skipSpace(line, at) || !readInteger(line, at, terminal))
        return std::nullopt;
    // A number cut off by the end of the buffer is not a number.
    if (at >= line.size() || (line[at] != ' ' && line[at] != '\n'))
        return std::nullopt;
    if (parentPid < 0 || parentPid > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    record.pid = static_cast<int32_t>(pid);
    record.parentPid = static_cast<int32_t>(parentPid);
    record.terminalDevice = terminal;
    record.shortName.assign(line.substr(nameStart, nameEnd - nameStart));
    return record;
}

}

std::optional<Record> record(int32_t pid, ProcessTable const& table)
{
    if (pid < 1)
        return std::nullopt;
    // The fields up to tty_nr take well under 200 bytes, even with a kernel thread's 64-byte name.
    std::array<char, 512> buffer;
    auto length = table.readStat(pid, buffer);
    if (!length)
        return std::nullopt;
    auto parsed = parseStat(std::string_view(buffer.data(), std::min(*length, buffer.size())));
    if (!parsed || parsed->pid != pid)
        return std::nullopt;
    return parsed;
}

std::string processName(int32_t pid, Record const& record, ProcessTable const& table)
{
    // The kernel keeps 15 bytes of a name. Only a name of that length may have been cut, and reading
    // another process's arguments is the dearest read of the walk, which runs on every hook call.
    constexpr size_t kernelNameLimit = 15;
    std::array<char, 4096> buffer;
    if (record.shortName.size() < kernelNameLimit)
        return Text::replacingInvalidUTF8(record.shortName);
    if (auto length = table.readCommandLine(pid, buffer)) {
        std::string_view arguments(buffer.data(), std::min(*length, buffer.size()));
        size_t end = arguments.find('\0');
        // An argument cut off by the buffer could end anywhere; its last part is no name.
        if (end != std::string_view::npos || arguments.size() < buffer.size()) {
            std::string_view first = arguments.substr(0, end);
            // "sshd: user@pts/0" is a rewritten title, not a path: its last part names nothing.
            bool const isTitle = first.find(": ") != std::string_view::npos;
            size_t slash = first.rfind('/');
            std::string_view base = slash == std::string_view::npos ? first : first.substr(slash + 1);
            if (base.starts_with('-')) // a login shell's "-bash"
                base.remove_prefix(1);
            // `exec -a othername` sets the first argument to anything; only one that continues the
            // kernel's name names the same program.
            if (!isTitle && base.starts_with(record.shortName))
                return Text::replacingInvalidUTF8(base);
        }
    }
    return Text::replacingInvalidUTF8(record.shortName);
}

std::optional<std::string> terminalName(int64_t device)
{
    if (device <= 0 || device > std::numeric_limits<uint32_t>::max())
        return std::nullopt;
    auto const number = static_cast<uint32_t>(device);
    uint32_t const major = (number >> 8) & 0xFFF;
    uint32_t const minor = (number & 0xFF) | ((number >> 12) & 0xFFF00);
    if (major >= 136 && major <= 143)
        return "pts/" + std::to_string(minor);
    if (major == 4) {
        // Minors 0 to 63 are the virtual consoles; 64 and up are the serial ports ttyS0 onwards.
        if (minor < 64)
            return "tty" + std::to_string(minor);
        if (minor < 256)
            return "ttyS" + std::to_string(minor - 64);
    }
    return std::nullopt;
}

ProcInfo collect(int32_t pid, int maxDepth, ProcessTable const& table)
{
    if (pid < 2 || maxDepth < 1)
        return ProcInfo();
    std::vector<int32_t> pids;
    std::vector<std::string> names;
    std::optional<std::string> tty;
    // Every pid walked so far: a table caught while a pid is reused may point back into the chain.
    std::vector<int32_t> visited;
    int32_t current = pid;
    for (;;) {
        auto found = record(current, table);
        if (!found)
            break;
        visited.push_back(current);
        if (pids.size() < ProcInfo::maxEntries) {
            pids.push_back(current);
            names.push_back(processName(current, *found, table));
        }
        if (!tty) {
            if (auto name = terminalName(found->terminalDevice); name && ProcInfo::isValidTTYName(*name))
                tty = std::move(name);
        }
        int32_t parent = found->parentPid;
        if (parent < 2 || visited.size() >= static_cast<size_t>(maxDepth))
            break;
        if (std::find(visited.begin(), visited.end(), parent) != visited.end())
            break;
        current = parent;
    }
    return ProcInfo(std::move(pids), std::move(names), std::move(tty));
}

std::optional<std::string> workingDirectory(int32_t pid, ProcessTable const& table)
{
    if (pid < 1)
        return std::nullopt;
    std::array<char, 4096> buffer;
    auto length = table.readWorkingDirectoryLink(pid, buffer);
    // A target that fills the whole buffer may have been cut.
    if (!length || *length == 0 || *length >= buffer.size())
        return std::nullopt;
    std::string_view path(buffer.data(), *length);
    // Folders outside our root read as "(unreachable)/..."; removed ones carry this suffix.
    if (path.front() != '/' || path.ends_with(" (deleted)"))
        return std::nullopt;
    return Text::replacingInvalidUTF8(path);
}

std::optional<std::string> firstWorkingDirectory(std::span<int32_t const> pids, ProcessTable const& table)
{
    for (int32_t pid : pids) {
        if (auto directory = workingDirectory(pid, table))
            return directory;
    }
    return std::nullopt;
}

}
