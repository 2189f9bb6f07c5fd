#pragma once

#include <string_view>
#include <utility>

namespace PawletKit {

// Owns one open file descriptor and closes it when it goes out of scope.
class FileDescriptor final {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    FileDescriptor(FileDescriptor&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    FileDescriptor(FileDescriptor const&) = delete;
    FileDescriptor& operator=(FileDescriptor const&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    // Every byte, past short writes and interruptions; false with errno set on failure.
    bool writeAll(std::string_view bytes) const;
    // Closes now; returns false when close reports an error (a write may not have reached the file).
    bool reset();

private:
    int m_fd { -1 };
};

}
