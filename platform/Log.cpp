#include "platform/Log.hpp"

#include <cerrno>
#include <string>
#include <unistd.h>

namespace Platform::Log {

void line(std::string_view text)
{
    std::string buffer;
    buffer.reserve(text.size() + 10);
    buffer.append("[Pupnik] ").append(text).push_back('\n');
    size_t done = 0;
    while (done < buffer.size()) {
        ssize_t written = ::write(STDERR_FILENO, buffer.data() + done, buffer.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        done += static_cast<size_t>(written);
    }
}

}
