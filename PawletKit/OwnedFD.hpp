#pragma once

#include <unistd.h>
#include <utility>

namespace PawletKit {

// Sole owner of a file descriptor: closes it when destroyed or replaced. Negative means none.
class OwnedFD final {
public:
    OwnedFD() = default;
    explicit OwnedFD(int fd)
        : m_fd(fd)
    {
    }
    OwnedFD(OwnedFD&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    OwnedFD& operator=(OwnedFD&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    OwnedFD(OwnedFD const&) = delete;
    OwnedFD& operator=(OwnedFD const&) = delete;
    ~OwnedFD() { reset(); }

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd { -1 };
};

}
