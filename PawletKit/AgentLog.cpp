#include "PawletKit/AgentLog.hpp"

#include "PawletKit/Date.hpp"
#include "PawletKit/FileDescriptor.hpp"

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace PawletKit {

void AgentLog::append(std::string_view message) const noexcept
{
    try {
        auto folder = url.parent_path();
        if (!folder.empty())
            Paths::ensureDirectory(folder);

        int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC;
        struct stat info {};
        if (::stat(url.c_str(), &info) == 0 && static_cast<int64_t>(info.st_size) > maxBytes)
            flags |= O_TRUNC;
        FileDescriptor file(::open(url.c_str(), flags, 0600));
        if (!file.isValid())
            return;

        std::string line = Date::now().iso8601();
        line += " [";
        line += std::to_string(getpid());
        line += "] ";
        line += message;
        line += '\n';
        // One write call, never retried: a second write could land between another process's lines.
        [[maybe_unused]] auto written = ::write(file.get(), line.data(), line.size());
    } catch (...) {
        // The log is best effort: a folder that cannot be made, or memory that runs out, drops the line.
    }
}

}
