#pragma once

#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/Paths.hpp"

#include <optional>

namespace PawletKit {

// Tells the agent tool whether the application runs: the application holds an exclusive flock on
// Pupnik.lock in the support folder for as long as it runs, and the kernel lets go of it however the
// application ends. Only while it is held is there anybody to answer a permission request.
class ApplicationLock final {
public:
    // Takes the lock, creating the file (mode 0600) and the support folder when missing. Nothing when
    // another process holds it, or when something other than a regular file stands at its path.
    static std::optional<ApplicationLock> acquire(Paths const& paths);

    // True when the lock is held through another opening of the file, by another process as a rule.
    // Never blocks, creates nothing and follows no link: a missing file, a planted FIFO or link, or a
    // file system without locks all read as not held.
    static bool isHeldElsewhere(Paths const& paths);

    ApplicationLock(ApplicationLock&&) = default;
    ApplicationLock& operator=(ApplicationLock&&) = default;

private:
    explicit ApplicationLock(FileDescriptor file)
        : m_file(std::move(file))
    {
    }

    // Closing it releases the lock.
    FileDescriptor m_file;
};

}
