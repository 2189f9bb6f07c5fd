#include "PawletKit/RegularFile.hpp"

#include "PawletKit/FileDescriptor.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace PawletKit::RegularFile {

std::optional<std::string> read(std::filesystem::path const& path, size_t maxBytes)
{
    auto reading = readWithOutcome(path, maxBytes);
    if (reading.outcome != Reading::Outcome::read)
        return std::nullopt;
    return std::move(reading.bytes);
}

Reading readWithOutcome(std::filesystem::path const& path, size_t maxBytes)
{
    Reading reading;
    struct stat info { };
    // Look before opening: opening a FIFO or some devices blocks or has effects of its own.
    if (::stat(path.c_str(), &info) != 0) {
        reading.error = errno;
        reading.outcome = reading.error == ENOENT ? Reading::Outcome::missing : Reading::Outcome::unreadable;
        return reading;
    }
    if (!S_ISREG(info.st_mode)) {
        reading.outcome = Reading::Outcome::notRegular;
        return reading;
    }
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file.isValid()) {
        reading.error = errno;
        reading.outcome = reading.error == ENOENT ? Reading::Outcome::missing : Reading::Outcome::unreadable;
        return reading;
    }
    // The path may have been replaced between the two looks; the descriptor is what is read.
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        reading.outcome = Reading::Outcome::notRegular;
        return reading;
    }
    if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > maxBytes) {
        reading.outcome = Reading::Outcome::tooLarge;
        return reading;
    }
    // One byte past the cap tells a file that grew while being read.
    size_t const limit = maxBytes + 1;
    std::string& content = reading.bytes;
    content.resize(std::min(limit, static_cast<size_t>(info.st_size) + 1));
    size_t filled = 0;
    while (filled < limit) {
        if (filled == content.size())
            content.resize(std::min(limit, content.size() * 2 + 4096));
        ssize_t got = ::read(file.get(), content.data() + filled, content.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            reading.error = errno;
            reading.bytes.clear();
            reading.outcome = Reading::Outcome::unreadable;
            return reading;
        }
        if (got == 0)
            break;
        filled += static_cast<size_t>(got);
    }
    if (filled > maxBytes) {
        reading.bytes.clear();
        reading.outcome = Reading::Outcome::tooLarge;
        return reading;
    }
    content.resize(filled);
    reading.outcome = Reading::Outcome::read;
    return reading;
}

Opened open(std::filesystem::path const& path, int flags, mode_t mode)
{
    Opened result;
    // Look before opening: opening some devices has effects of its own, and a folder or link is named
    // as the kernel would name it.
    struct stat info { };
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
