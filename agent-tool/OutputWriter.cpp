#include "agent-tool/OutputWriter.hpp"

#include <cerrno>
#include <unistd.h>

namespace AgentTool::OutputWriter {

void writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
}

}
