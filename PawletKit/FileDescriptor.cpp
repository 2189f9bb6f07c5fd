#include "PawletKit/FileDescriptor.hpp"

#include <unistd.h>

namespace PawletKit {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.release();
    }
    return *this;
}

void FileDescriptor::close()
{
    // Not retried on EINTR: on Linux the descriptor is gone whatever close reports.
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

}
