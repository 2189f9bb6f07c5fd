#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace PawletKit {

// Owns one open file descriptor and closes it once.
class UniqueFD final {
public:
    UniqueFD() = default;
    explicit UniqueFD(int fd)
        : m_fd(fd)
    {
    }
    UniqueFD(UniqueFD&& other) noexcept
        : m_fd(other.release())
    {
    }
    UniqueFD& operator=(UniqueFD&& other) noexcept;
    UniqueFD(UniqueFD const&) = delete;
    UniqueFD& operator=(UniqueFD const&) = delete;
    ~UniqueFD();

    bool isValid() const { return m_fd >= 0; }
    int get() const { return m_fd; }
    int release();
    // False (errno set) when close reports an error; the descriptor is gone either way.
    bool close();

    // Writes every byte, retrying short writes and EINTR; false with errno set on failure.
    bool writeAll(std::string_view bytes) const;
    // Reads into the buffer until it is full or the file ends; the count, or nothing (errno set).
    std::optional<size_t> readUpTo(char* buffer, size_t capacity) const;

    // The whole file, or nothing when it cannot be opened or read or holds more than maxBytes.
    static std::optional<std::string> readFile(std::filesystem::path const& path, size_t maxBytes);

private:
    int m_fd { -1 };
};

}
