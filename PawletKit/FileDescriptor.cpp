#include "PawletKit/FileDescriptor.hpp"

#include <cerrno>
#include <unistd.h>

namespace PawletKit {

bool FileDescriptor::reset()
{
    if (m_fd < 0)
        return true;
    // Linux releases the descriptor even when close fails, so it is never retried.
    bool const closed = ::close(m_fd) == 0;
    m_fd = -1;
    return closed;
}

bool FileDescriptor::writeAll(std::string_view bytes) const
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t written = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

}
