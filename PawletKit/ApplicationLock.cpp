#include "PawletKit/ApplicationLock.hpp"

#include "PawletKit/RegularFile.hpp"

#include <cerrno>
#include <exception>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace PawletKit {

namespace {

// The agent tool's check takes a shared lock for an instant; the application tries a little longer
// than that before it concludes that another copy of it holds the lock.
constexpr int acquireAttempts = 20;
constexpr useconds_t acquireRetryMicroseconds = 5000;

int lockWithoutWaiting(int fd, int operation)
{
    int result;
    do
        result = ::flock(fd, operation | LOCK_NB);
    while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

}

std::optional<ApplicationLock> ApplicationLock::acquire(Paths const& paths)
{
    try {
        paths.ensureSupportDirectory();
    } catch (std::exception const&) {
        return std::nullopt;
    }
    auto opened = RegularFile::open(paths.applicationLock(), O_RDWR | O_CREAT, 0600);
    if (!opened.file.isValid())
        return std::nullopt;
    for (int attempt = 0; attempt < acquireAttempts; ++attempt) {
        int error = lockWithoutWaiting(opened.file.get(), LOCK_EX);
        if (error == 0)
            return ApplicationLock(std::move(opened.file));
        if (error != EWOULDBLOCK)
            return std::nullopt;
        ::usleep(acquireRetryMicroseconds);
    }
    return std::nullopt;
}

bool ApplicationLock::isHeldElsewhere(Paths const& paths)
{
    auto opened = RegularFile::open(paths.applicationLock(), O_RDONLY);
    if (!opened.file.isValid())
        return false;
    // A shared lock conflicts only with the exclusive one, so agent tools checking at the same moment
    // never see each other; it is released when the descriptor closes.
    return lockWithoutWaiting(opened.file.get(), LOCK_SH) == EWOULDBLOCK;
}

}
