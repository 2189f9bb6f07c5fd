#pragma once

namespace PawletKit {

// Owns one open file descriptor and closes it when it goes away.
class FileDescriptor final {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FileDescriptor() { close(); }

    FileDescriptor(FileDescriptor&& other) noexcept
        : m_fd(other.release())
    {
    }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(FileDescriptor const&) = delete;
    FileDescriptor& operator=(FileDescriptor const&) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    explicit operator bool() const { return isOpen(); }

    int release()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void close();

private:
    int m_fd { -1 };
};

}
