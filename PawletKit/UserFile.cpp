#include "PawletKit/UserFile.hpp"

#include "PawletKit/AtomicFile.hpp"

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace PawletKit::UserFile {

namespace {

// The kernel's own limit on links followed in one lookup.
constexpr int maxLinks = 40;

}

Reading read(std::filesystem::path const& path, size_t maxBytes)
{
    return PawletKit::RegularFile::readWithOutcome(path, maxBytes);
}

std::filesystem::path resolve(std::filesystem::path const& path)
{
    std::filesystem::path current = path;
    for (int hop = 0; hop <= maxLinks; ++hop) {
        struct stat info { };
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
    struct stat info { };
    if (::lstat(target.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            throw std::system_error(EINVAL, std::generic_category(), "not a regular file: " + target.string());
        mode = info.st_mode & 07777;
    }
    AtomicFile::write(target, bytes, mode);
}

}
