#include "platform/AtomicFile.hpp"

#include "PawletKit/FileDescriptor.hpp"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace Platform::AtomicFile {

namespace {

[[noreturn]] void throwErrno(int error, std::string const& what)
{
    throw std::system_error(error, std::generic_category(), what);
}

bool writeAll(int fd, std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
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

void write(std::filesystem::path const& path, std::string_view bytes, mode_t mode)
{
    auto folder = path.parent_path();
    if (folder.empty())
        folder = ".";
    // Unique per process and per call, so two threads or two writers never share a temporary file.
    static std::atomic<unsigned> counter { 0 };
    auto temporary = folder / ("." + path.filename().string() + "." + std::to_string(::getpid()) + "."
                               + std::to_string(counter.fetch_add(1)) + ".tmp");
    ::unlink(temporary.c_str());
    PawletKit::FileDescriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.isValid())
        throwErrno(errno, "open " + temporary.string());

    auto discard = [&](int error, std::string const& what) {
        file.reset();
        ::unlink(temporary.c_str());
        throwErrno(error, what);
    };
    if (!writeAll(file.get(), bytes))
        discard(errno, "write " + temporary.string());
    // The creation mode passes through the umask; the file must end up with exactly this mode.
    if (::fchmod(file.get(), mode) != 0)
        discard(errno, "chmod " + temporary.string());
    if (::fsync(file.get()) != 0)
        discard(errno, "fsync " + temporary.string());
    if (!file.reset())
        discard(errno, "close " + temporary.string());
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        throwErrno(error, "rename " + temporary.string() + " to " + path.string());
    }
}

}
