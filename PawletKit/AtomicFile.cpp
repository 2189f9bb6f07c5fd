#include "PawletKit/AtomicFile.hpp"

#include "PawletKit/FileDescriptor.hpp"

#include <array>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace PawletKit::AtomicFile {

namespace {

[[noreturn]] void throwErrno(int error, std::string const& what)
{
    throw std::system_error(error, std::generic_category(), what);
}

// Fills a fresh temporary file through `fill` (false with errno set on failure) and renames it over
// the target.
void replace(std::filesystem::path const& path, mode_t mode, std::function<bool(PawletKit::FileDescriptor const&)> const& fill)
{
    auto folder = path.parent_path();
    if (folder.empty())
        folder = ".";
    // Unique per process and per call, so two threads or two writers never share a temporary file.
    static std::atomic<unsigned> counter { 0 };
    auto temporary = folder / ("." + path.filename().string() + "." + std::to_string(::getpid()) + "." + std::to_string(counter.fetch_add(1)) + ".tmp");
    ::unlink(temporary.c_str());
    PawletKit::FileDescriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.isValid())
        throwErrno(errno, "open " + temporary.string());

    auto discard = [&](int error, std::string const& what) {
        file.reset();
        ::unlink(temporary.c_str());
        throwErrno(error, what);
    };
    if (!fill(file))
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

void write(std::filesystem::path const& path, std::string_view bytes, mode_t mode)
{
    replace(path, mode, [&](PawletKit::FileDescriptor const& file) { return file.writeAll(bytes); });
}

void copy(std::filesystem::path const& source, std::filesystem::path const& path, mode_t mode)
{
    // Non-blocking, so a FIFO planted at the source cannot hang the open.
    PawletKit::FileDescriptor input(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!input.isValid())
        throwErrno(errno, "open " + source.string());
    struct stat info { };
    if (::fstat(input.get(), &info) != 0)
        throwErrno(errno, "stat " + source.string());
    if (!S_ISREG(info.st_mode))
        throwErrno(EINVAL, "not a regular file: " + source.string());
    replace(path, mode, [&](PawletKit::FileDescriptor const& file) {
        std::array<char, 64 * 1024> buffer {};
        for (;;) {
            ssize_t got = ::read(input.get(), buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return false;
            if (got == 0)
                return true;
            if (!file.writeAll(std::string_view(buffer.data(), static_cast<size_t>(got))))
                return false;
        }
    });
}

}
