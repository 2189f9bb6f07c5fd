#include "PawletKit/RegularFile.hpp"

#include "PawletKit/FileDescriptor.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PawletKit::RegularFile {

std::optional<std::string> read(std::filesystem::path const& path, size_t maxBytes)
{
    // Look before opening: opening some devices has effects of its own.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.isValid())
        return std::nullopt;
    // The path may have been replaced between the two looks; the descriptor is what is read.
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > maxBytes)
        return std::nullopt;

    std::string content;
    size_t const limit = maxBytes + 1;
    content.resize(std::min(limit, static_cast<size_t>(info.st_size) + 1));
    size_t filled = 0;
    while (filled < limit) {
        if (filled == content.size())
            content.resize(std::min(limit, content.size() * 2 + 4096));
        ssize_t got = ::read(fd.get(), content.data() + filled, content.size() - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        filled += static_cast<size_t>(got);
    }
    if (filled > maxBytes)
        return std::nullopt;
    content.resize(filled);
    return content;
}

Opened open(std::filesystem::path const& path, int flags, mode_t mode)
{
    Opened result;
    // Look before opening: opening some devices has effects of its own, and a folder or link is named
    // as the kernel would name it.
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            result.error = EISDIR;
        else if (S_ISLNK(info.st_mode))
            result.error = ELOOP;
        else if (!S_ISREG(info.st_mode))
            result.notRegular = true;
        if (result.error || result.notRegular)
            return result;
    } else if (errno != ENOENT || !(flags & O_CREAT)) {
        result.error = errno;
        return result;
    }

    int fd;
    do
        fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // A FIFO planted since the look, without a reader, refuses a non-blocking writer.
        if (errno == ENXIO)
            result.notRegular = true;
        else
            result.error = errno;
        return result;
    }
    result.file = FileDescriptor(fd);
    // The path may have been replaced between the look and the open; the descriptor is what counts.
    if (::fstat(fd, &info) != 0) {
        result.error = errno;
        result.file.reset();
    } else if (!S_ISREG(info.st_mode)) {
        result.file.reset();
        result.notRegular = true;
    }
    return result;
}

}
