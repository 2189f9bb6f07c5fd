#include "PawletKit/ProcessTable.hpp"

#include "PawletKit/FileDescriptor.hpp"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace PawletKit {

namespace {

// "/proc/" + up to 10 digits + "/" + entry name: fits easily.
using ProcPath = char[64];

bool formatPath(ProcPath& path, int32_t pid, char const* entry)
{
    if (pid < 1)
        return false;
    int length = std::snprintf(path, sizeof path, "/proc/%d/%s", static_cast<int>(pid), entry);
    return length > 0 && static_cast<size_t>(length) < sizeof path;
}

std::optional<size_t> readEntry(int32_t pid, char const* entry, std::span<char> buffer)
{
    ProcPath path;
    if (!formatPath(path, pid, entry))
        return std::nullopt;
    FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC));
    if (!file.isValid())
        return std::nullopt;
    // The kernel hands these entries over whole, up to a page, in one read: no second call to see the end.
    for (;;) {
        ssize_t count = ::read(file.get(), buffer.data(), buffer.size());
        if (count >= 0)
            return static_cast<size_t>(count);
        if (errno != EINTR)
            return std::nullopt;
    }
}

class ProcFileSystem final : public ProcessTable {
public:
    std::optional<size_t> readStat(int32_t pid, std::span<char> buffer) const override
    {
        return readEntry(pid, "stat", buffer);
    }

    std::optional<size_t> readCommandLine(int32_t pid, std::span<char> buffer) const override
    {
        return readEntry(pid, "cmdline", buffer);
    }

    std::optional<size_t> readWorkingDirectoryLink(int32_t pid, std::span<char> buffer) const override
    {
        ProcPath path;
        if (!formatPath(path, pid, "cwd"))
            return std::nullopt;
        ssize_t length = ::readlink(path, buffer.data(), buffer.size());
        if (length < 0)
            return std::nullopt;
        return static_cast<size_t>(length);
    }
};

}

ProcessTable const& ProcessTable::system()
{
    static ProcFileSystem const table;
    return table;
}

}
