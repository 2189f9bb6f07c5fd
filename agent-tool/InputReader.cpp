#include "agent-tool/InputReader.hpp"

#include "agent-tool/MonotonicClock.hpp"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AgentTool::InputReader {

std::string read(int fd, Limits limits)
{
    std::string collected;
    if (::isatty(fd))
        return collected;
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return collected;

    int64_t const start = MonotonicClock::milliseconds();
    int64_t limit = std::min(limits.firstByteMs, limits.totalMs);
    auto remaining = [&] { return limit - (MonotonicClock::milliseconds() - start); };
    bool capReached = false;
    // Data goes straight into the result; only a drain past the cap needs a buffer of its own.
    std::string discard;

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
        std::string& target = capReached ? discard : collected;
        size_t const before = capReached ? 0 : collected.size();
        target.resize(before + chunkBytes);
        ssize_t count = ::read(fd, target.data() + before, chunkBytes);
        int const error = errno;
        target.resize(before + static_cast<size_t>(std::max<ssize_t>(count, 0)));
        if (count < 0) {
            if (error == EINTR || error == EAGAIN)
                continue;
            break;
        }
        if (count == 0)
            break;
        if (!capReached && collected.size() > limits.maxBytes) {
            collected.resize(limits.maxBytes);
            capReached = true;
        }
        limit = limits.totalMs;
    }
    return collected;
}

}
