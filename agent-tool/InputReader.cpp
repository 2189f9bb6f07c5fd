#include "agent-tool/InputReader.hpp"

#include "PawletKit/MonotonicClock.hpp"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AgentTool::InputReader {

std::string read(int fd, Limits limits)
{
    std::string collected;
    if (::isatty(fd))
        return collected;
    struct stat info { };
    if (::fstat(fd, &info) != 0)
        return collected;

    int64_t const start = PawletKit::MonotonicClock::milliseconds();
    int64_t limit = std::min(limits.firstByteMs, limits.totalMs);
    auto remaining = [&] { return limit - (PawletKit::MonotonicClock::milliseconds() - start); };
    bool capReached = false;
    // Not zero-filled: only the pages a read actually fills are ever touched.
    auto buffer = std::make_unique_for_overwrite<char[]>(chunkBytes);

    for (int64_t left = remaining(); left >= 1; left = remaining()) {
        pollfd entry { fd, POLLIN, 0 };
        int ready = ::poll(&entry, 1, static_cast<int>(std::min<int64_t>(left, 1 << 30)));
        if (ready < 0) {
            if (errno == EINTR && remaining() > 0)
                continue;
            break;
        }
        if (ready == 0)
            break;
        ssize_t count = ::read(fd, buffer.get(), chunkBytes);
        int const error = errno;
        if (count < 0) {
            if (error == EINTR || error == EAGAIN)
                continue;
            break;
        }
        if (count == 0)
            break;
        if (!capReached) {
            collected.append(buffer.get(), static_cast<size_t>(count));
            if (collected.size() > limits.maxBytes) {
                collected.resize(limits.maxBytes);
                capReached = true;
            }
        }
        limit = limits.totalMs;
    }
    return collected;
}

}
