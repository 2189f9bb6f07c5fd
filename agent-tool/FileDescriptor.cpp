#include "agent-tool/FileDescriptor.hpp"

#include <unistd.h>

namespace AgentTool {

void FileDescriptor::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

}
