#include "PawletKit/SpoolReader.hpp"

#include "PawletKit/Date.hpp"
#include "PawletKit/RegularFile.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace PawletKit {

namespace {

std::optional<struct stat> statOf(int fd)
{
    struct stat info { };
    if (::fstat(fd, &info) != 0)
        return std::nullopt;
    return info;
}

uint64_t sizeOf(struct stat const& info)
{
    return info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

// What stands at a path instead of a regular file, for the log; nothing when it cannot be told.
std::optional<std::string> kindAt(std::filesystem::path const& path)
{
    struct stat info { };
    if (::lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    if (S_ISFIFO(info.st_mode))
        return "a FIFO";
    if (S_ISLNK(info.st_mode))
        return "a symbolic link";
    if (S_ISDIR(info.st_mode))
        return "a folder";
    if (S_ISSOCK(info.st_mode))
        return "a socket";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return "a device";
    return std::nullopt;
}

}

SpoolReader::SpoolReader(Paths paths, int64_t rotateAt)
    : m_paths(std::move(paths))
    , m_rotateAt(rotateAt)
{
}

FileDescriptor SpoolReader::openSpool()
{
    // Opened without blocking or following a link: a FIFO planted there would stop every poll for good.
    auto opened = RegularFile::open(m_paths.spool(), O_RDONLY);
    bool const unusable = opened.notRegular || opened.error == ELOOP || opened.error == EISDIR;
    if (unusable && !m_skippingUnusableSpool && m_logHook) {
        auto kind = kindAt(m_paths.spool());
        m_logHook("spool: " + m_paths.spool().string() + " is " + (kind ? *kind + ", " : std::string()) + "not a regular file; skipped");
    }
    m_skippingUnusableSpool = unusable;
    return std::move(opened.file);
}

void SpoolReader::skipToEnd()
{
    FileDescriptor file = openSpool();
    if (!file.isValid()) {
        m_current = {};
        return;
    }
    if (auto info = statOf(file.get()))
        m_current = { sizeOf(*info), false };
}

std::vector<SpoolEvent> SpoolReader::poll()
{
    std::vector<SpoolEvent> events;

    double now = Date::now().secondsSince1970;
    for (auto& retained : m_retainedRotated) {
        if (auto info = statOf(retained.file.get()); info && retained.cursor.offset < sizeOf(*info))
            readNewLines(retained.file.get(), retained.cursor, sizeOf(*info), events);
    }
    std::erase_if(m_retainedRotated, [now](RetainedFile const& retained) { return retained.until <= now; });

    FileDescriptor file = openSpool();
    if (!file.isValid())
        return events;
    auto info = statOf(file.get());
    if (!info)
        return events;
    uint64_t size = sizeOf(*info);

    Identity identity { info->st_dev, info->st_ino };
    if (m_currentIdentity && *m_currentIdentity != identity)
        m_current = {};
    m_currentIdentity = identity;

    if (size < m_current.offset)
        m_current = {};
    if (m_current.offset < size)
        readNewLines(file.get(), m_current, size, events);

    // Rotate only a file that ends in a complete line and has been consumed to its end.
    bool consumed = m_current.offset == size && !m_current.skippingLongLine;
    if (size > static_cast<uint64_t>(std::max<int64_t>(m_rotateAt, 0)) && consumed) {
        if (::rename(m_paths.spool().c_str(), m_paths.rotatedSpool().c_str()) != 0)
            return events;
        ++m_rotations;
        if (m_afterRenameHook)
            m_afterRenameHook();
        // Lines appended between the size read above and the rename.
        if (auto after = statOf(file.get()); after && m_current.offset < sizeOf(*after))
            readNewLines(file.get(), m_current, sizeOf(*after), events);
        // A writer held up between its open and its write may still add to the older renamed files, so
        // they keep draining for their own time rather than being closed now.
        if (m_retainedRotated.size() >= maxRetainedRotatedFiles)
            m_retainedRotated.erase(m_retainedRotated.begin());
        m_retainedRotated.push_back({ std::move(file), m_current, Date::now().secondsSince1970 + m_retainRotatedFor });
        m_current = {};
        m_currentIdentity.reset();
    }
    return events;
}

void SpoolReader::readNewLines(int fd, Cursor& cursor, uint64_t end, std::vector<SpoolEvent>& into)
{
    if (end <= cursor.offset)
        return;
    end = std::min(end, cursor.offset + maxBytesPerPoll);
    std::string buffer(end - cursor.offset, '\0');
    size_t filled = 0;
    while (filled < buffer.size()) {
        ssize_t count = ::pread(fd, buffer.data() + filled, buffer.size() - filled,
            static_cast<off_t>(cursor.offset + filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        filled += static_cast<size_t>(count);
    }
    buffer.resize(filled);
    std::string_view bytes = buffer;

    size_t start = 0;
    if (cursor.skippingLongLine) {
        size_t lineEnd = bytes.find('\n');
        if (lineEnd == std::string_view::npos) {
            cursor.offset += bytes.size();
            return;
        }
        start = lineEnd + 1;
        cursor.skippingLongLine = false;
    }

    size_t last = bytes.rfind('\n');
    size_t consumed = start;
    if (last != std::string_view::npos && last >= start) {
        for (size_t position = start; position <= last;) {
            size_t lineEnd = bytes.find('\n', position);
            if (lineEnd > position) {
                if (auto event = decodeLine(bytes.substr(position, lineEnd - position)))
                    into.push_back(std::move(*event));
                else
                    ++m_droppedLines;
            }
            position = lineEnd + 1;
        }
        consumed = last + 1;
    }

    // Writers keep their lines below the line limit, so an unterminated tail this long is no line in the
    // making: count it once and skip to its line feed rather than read it again on every poll.
    if (bytes.size() - consumed >= SpoolEvent::maxLineBytes) {
        ++m_droppedLines;
        cursor.skippingLongLine = true;
        consumed = bytes.size();
    }
    cursor.offset += consumed;
}

std::optional<SpoolEvent> SpoolReader::decodeLine(std::string_view line)
{
    if (JSON::firstBracketDeeperThan(line, maxLineNestingDepth))
        return std::nullopt;
    try {
        return SpoolEvent::fromJSON(JSON::parse(line));
    } catch (JSON::Value::exception const&) {
        return std::nullopt;
    }
}

}
