#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace PawletKit {

// The three per-process reads the parent-process chain needs, so the walk can run over a made-up table.
// Each read fills at most the buffer and answers how many bytes it filled, or nothing when the process
// or its entry cannot be read (gone, another user's, no such pid).
class ProcessTable {
public:
    virtual ~ProcessTable() = default;

    // The start of /proc/<pid>/stat.
    virtual std::optional<size_t> readStat(int32_t pid, std::span<char> buffer) const = 0;
    // The start of /proc/<pid>/cmdline: the arguments, each ended by a zero byte.
    virtual std::optional<size_t> readCommandLine(int32_t pid, std::span<char> buffer) const = 0;
    // The target of the /proc/<pid>/cwd link, not zero-terminated.
    virtual std::optional<size_t> readWorkingDirectoryLink(int32_t pid, std::span<char> buffer) const = 0;

    // The running system's table under /proc.
    static ProcessTable const& system();
};

}
