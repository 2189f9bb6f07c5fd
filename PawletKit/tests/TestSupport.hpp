#pragma once

#include "PawletKit/SpoolEvent.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PawletKit {

// Failure messages show events as their lines.
static inline void PrintTo(SpoolEvent const& event, std::ostream* out)
{
    *out << event.jsonLine();
}

}

namespace TestSupport {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TemporaryDirectory {
public:
    TemporaryDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "pupnik-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TemporaryDirectory()
    {
        std::error_code ignored;
        // Tests take write permission away to provoke failures; give it back so everything goes.
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    TemporaryDirectory(TemporaryDirectory const&) = delete;
    TemporaryDirectory& operator=(TemporaryDirectory const&) = delete;

    std::filesystem::path const& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

inline void writeFile(std::filesystem::path const& path, std::string const& bytes, std::ios::openmode mode = std::ios::trunc)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::out | mode);
    out << bytes;
}

inline void appendFile(std::filesystem::path const& path, std::string const& bytes)
{
    writeFile(path, bytes, std::ios::app);
}

// Permission bits of a file or folder; 0 when it cannot be looked at.
inline unsigned fileMode(std::filesystem::path const& path)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

inline std::string readFile(std::filesystem::path const& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Counts the files renamed onto a name in a folder (an atomic replacement is one such rename) from
// its making on. The kernel queues each event before rename() returns, so counts are exact. It merges
// an event with an identical one queued right before it, so creations are watched too: between two
// replacements there is always the creation of the next temporary file.
class FolderRenames {
public:
    explicit FolderRenames(std::filesystem::path const& folder)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd < 0 || inotify_add_watch(m_fd, folder.c_str(), IN_MOVED_TO | IN_CREATE) < 0)
            throw std::runtime_error("cannot watch " + folder.string());
    }
    ~FolderRenames() { ::close(m_fd); }
    FolderRenames(FolderRenames const&) = delete;
    FolderRenames& operator=(FolderRenames const&) = delete;

    // Renames onto the name since the watch began.
    size_t onto(std::string const& name)
    {
        alignas(inotify_event) char buffer[64 * 1024];
        ssize_t got;
        while ((got = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char* at = buffer; at < buffer + got;) {
                auto const* event = reinterpret_cast<inotify_event const*>(at);
                if ((event->mask & IN_MOVED_TO) && event->len > 0)
                    ++m_counts[event->name];
                at += sizeof(inotify_event) + event->len;
            }
        }
        return m_counts[name];
    }

private:
    int m_fd;
    std::map<std::string, size_t> m_counts;
};

}
