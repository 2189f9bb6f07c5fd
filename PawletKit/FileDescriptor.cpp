#include "PawletKit/FileDescriptor.hpp"

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

}
