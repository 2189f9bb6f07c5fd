#pragma once

#include "PawletKit/ProcInfo.hpp"
#include "PawletKit/ProcessTable.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The chain of processes above a hook call, read from the process table.
namespace PawletKit::ProcessAncestry {

inline constexpr int defaultMaxDepth = 6;

// What a process's stat line says about it.
struct Record {
    int32_t pid { 0 };
    int32_t parentPid { 0 };
    // The controlling terminal's device number; 0 when the process has none.
    int64_t terminalDevice { 0 };
    // The kernel's short name, cut at 15 bytes; not necessarily UTF-8.
    std::string shortName;

    bool operator==(Record const&) const = default;
};

// Nothing when the process is gone or its stat line cannot be read or does not name this pid.
std::optional<Record> record(int32_t pid, ProcessTable const& table = ProcessTable::system());

// The executable's name from the first argument when it continues the kernel's short name (which the
// kernel cuts at 15 bytes), else the short name; invalid UTF-8 is replaced.
std::string processName(int32_t pid, Record const& record, ProcessTable const& table = ProcessTable::system());

// The name under /dev of a terminal device number: "pts/N", "ttyN" or "ttySN"; nothing for other devices.
std::optional<std::string> terminalName(int64_t device);

// The start pid and its ancestors, nearest first, at most maxDepth of them and never pid 0 or 1; the
// first valid terminal name met on the way. A pid met twice ends the walk.
ProcInfo collect(int32_t pid, int maxDepth = defaultMaxDepth, ProcessTable const& table = ProcessTable::system());

// The absolute current directory of a process; nothing when unreadable or deleted.
std::optional<std::string> workingDirectory(int32_t pid, ProcessTable const& table = ProcessTable::system());
std::optional<std::string> firstWorkingDirectory(std::span<int32_t const> pids,
    ProcessTable const& table = ProcessTable::system());

}
