#include "PawletKit/AgentLog.hpp"

#include "PawletKit/Date.hpp"
#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/RegularFile.hpp"

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

        // A FIFO or link planted in place of the log would hold every hook up or send its lines elsewhere.
        auto opened = RegularFile::open(url, O_WRONLY | O_APPEND | O_CREAT, 0600);
        FileDescriptor file = std::move(opened.file);
        if (!file.isValid())
            return;
        struct stat info { };
        // Past the cap the file starts over; the size is the one before this line.
        if (::fstat(file.get(), &info) == 0 && static_cast<int64_t>(info.st_size) > maxBytes && ::ftruncate(file.get(), 0) != 0)
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
