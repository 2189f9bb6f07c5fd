#include "platform/UserFile.hpp"

#include "platform/AtomicFile.hpp"

#include "PawletKit/FileDescriptor.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace Platform::UserFile {

namespace {

// The kernel's own limit on links followed in one lookup.
constexpr int maxLinks = 40;

}

Reading read(std::filesystem::path const& path, size_t maxBytes)
{
    Reading reading;
    struct stat info {};
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
    PawletKit::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
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

std::filesystem::path resolve(std::filesystem::path const& path)
{
    std::filesystem::path current = path;
    for (int hop = 0; hop <= maxLinks; ++hop) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        std::string target(PATH_MAX, '\0');
        ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0)
            throw std::system_error(errno, std::generic_category(), "readlink " + current.string());
        target.resize(static_cast<size_t>(length));
        std::filesystem::path next(target);
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    throw std::system_error(ELOOP, std::generic_category(), "resolve " + path.string());
}

void write(std::filesystem::path const& path, std::string_view bytes, mode_t newFileMode)
{
    auto target = resolve(path);
    mode_t mode = newFileMode;
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            throw std::system_error(EINVAL, std::generic_category(), "not a regular file: " + target.string());
        mode = info.st_mode & 07777;
    }
    AtomicFile::write(target, bytes, mode);
}

}
