#include "PawletKit/UniqueFD.hpp"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PawletKit {

UniqueFD& UniqueFD::operator=(UniqueFD&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.release();
    }
    return *this;
}

UniqueFD::~UniqueFD()
{
    close();
}

int UniqueFD::release()
{
    int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool UniqueFD::close()
{
    if (m_fd < 0)
        return true;
    // Linux releases the descriptor even when close fails with EINTR: never retry.
    int result = ::close(m_fd);
    m_fd = -1;
    return result == 0;
}

bool UniqueFD::writeAll(std::string_view bytes) const
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t written = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

std::optional<size_t> UniqueFD::readUpTo(char* buffer, size_t capacity) const
{
    size_t done = 0;
    while (done < capacity) {
        ssize_t count = ::read(m_fd, buffer + done, capacity - done);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (count == 0)
            break;
        done += static_cast<size_t>(count);
    }
    return done;
}

std::optional<std::string> UniqueFD::readFile(std::filesystem::path const& path, size_t maxBytes)
{
    // Non-blocking so that a FIFO at the path cannot hang the caller; only regular files are read.
    UniqueFD file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.isValid())
        return std::nullopt;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || static_cast<uint64_t>(info.st_size) > maxBytes)
        return std::nullopt;
    std::string contents;
    char chunk[16384];
    for (;;) {
        auto count = file.readUpTo(chunk, sizeof chunk);
        if (!count)
            return std::nullopt;
        if (contents.size() + *count > maxBytes)
            return std::nullopt;
        contents.append(chunk, *count);
        if (*count < sizeof chunk)
            return contents;
    }
}

}
