#include "PawletKit/CodexRolloutTailer.hpp"

#include "PawletKit/CodexRecordTranslator.hpp"
#include "PawletKit/Paths.hpp"
#include "PawletKit/Text.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PawletKit {

namespace {

double modificationTime(struct stat const& info)
{
    return static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) / 1e9;
}

uint64_t fileSize(struct stat const& info)
{
    return info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

bool isDirectory(std::string const& path)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Transcripts are only ever regular files; anything else at such a path (a FIFO would block the open
// until a writer appeared) is left alone.
std::optional<struct stat> regularFileStatus(std::string const& path)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return info;
}

FileDescriptor openForReading(std::string const& path)
{
    int fd;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    return FileDescriptor(fd);
}

struct DirectoryCloser {
    void operator()(DIR* directory) const { closedir(directory); }
};

// Entry names of a folder in listing order, without "." and ".."; nothing when it cannot be listed.
std::vector<std::string> listDirectory(std::string const& path)
{
    std::vector<std::string> names;
    std::unique_ptr<DIR, DirectoryCloser> directory(opendir(path.c_str()));
    if (!directory)
        return names;
    while (dirent const* entry = readdir(directory.get())) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        names.emplace_back(name);
    }
    return names;
}

bool isRolloutName(std::string_view name)
{
    return name.starts_with(CodexRolloutTailer::filePrefix) && name.ends_with(".jsonl");
}

std::optional<time_t> wholeSeconds(double epochSeconds)
{
    if (!std::isfinite(epochSeconds) || std::fabs(epochSeconds) > 1e15)
        return std::nullopt;
    return static_cast<time_t>(std::floor(epochSeconds));
}

// How much of a replaced file's head, and of the bytes before where reading stopped, must match for
// the new file to count as the old one continued.
constexpr uint64_t fingerprintWindow = 64 * 1024;

uint64_t hashBytes(std::string_view bytes)
{
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

// Exactly `length` bytes at `at`, or nothing.
std::optional<std::string> readAt(int fd, uint64_t at, size_t length)
{
    std::string buffer(length, '\0');
    size_t got = 0;
    while (got < length) {
        ssize_t n = ::pread(fd, buffer.data() + got, length - got, static_cast<off_t>(at + got));
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return std::nullopt;
    }
    return buffer;
}

std::optional<CodexRolloutTailer::CalendarDay> dayOf(std::tm const& parts)
{
    return CodexRolloutTailer::CalendarDay { parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday };
}

}

CodexRolloutTailer::CodexRolloutTailer(std::filesystem::path const& baseDir)
    : CodexRolloutTailer(baseDir, Config {}, localCalendar(), Date::now)
{
}

CodexRolloutTailer::CodexRolloutTailer(std::filesystem::path const& baseDir, Config config, Calendar calendar, Clock clock)
    : m_baseDir(Paths::withBase(baseDir).base())
    , m_config(config)
    , m_clock(std::move(clock))
    , m_calendar(std::move(calendar))
{
}

std::filesystem::path CodexRolloutTailer::defaultBaseDir()
{
    std::filesystem::path home;
    if (char const* value = std::getenv("HOME"); value && *value)
        home = value;
    else if (passwd const* entry = getpwuid(getuid()); entry && entry->pw_dir)
        home = entry->pw_dir;
    else
        home = "/";
    return home / ".codex" / "sessions";
}

CodexRolloutTailer::Calendar CodexRolloutTailer::localCalendar()
{
    return [](double epochSeconds) -> std::optional<CalendarDay> {
        auto seconds = wholeSeconds(epochSeconds);
        std::tm parts {};
        if (!seconds || !localtime_r(&*seconds, &parts))
            return std::nullopt;
        return dayOf(parts);
    };
}

CodexRolloutTailer::Calendar CodexRolloutTailer::fixedOffsetCalendar(int64_t secondsEast)
{
    return [secondsEast](double epochSeconds) -> std::optional<CalendarDay> {
        auto seconds = wholeSeconds(epochSeconds + static_cast<double>(secondsEast));
        std::tm parts {};
        if (!seconds || !gmtime_r(&*seconds, &parts))
            return std::nullopt;
        return dayOf(parts);
    };
}

bool CodexRolloutTailer::isAvailable() const
{
    return isDirectory(m_baseDir);
}

std::filesystem::path CodexRolloutTailer::dayDirectory(Date date) const
{
    CalendarDay day = m_calendar ? m_calendar(date.secondsSince1970).value_or(CalendarDay {}) : CalendarDay {};
    char year[16], month[16], dayOfMonth[16];
    std::snprintf(year, sizeof year, "%04d", day.year);
    std::snprintf(month, sizeof month, "%02d", day.month);
    std::snprintf(dayOfMonth, sizeof dayOfMonth, "%02d", day.day);
    return m_baseDir / year / month / dayOfMonth;
}

bool CodexRolloutTailer::isUUIDShaped(std::string_view text)
{
    if (text.size() != 36)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-')
                return false;
        } else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

std::string CodexRolloutTailer::sessionId(std::string_view fileName)
{
    std::string_view name = fileName;
    if (name.ends_with(".jsonl"))
        name.remove_suffix(6);
    if (name.starts_with(filePrefix))
        name.remove_prefix(filePrefix.size());
    if (name.size() >= 36 && isUUIDShaped(name.substr(name.size() - 36)))
        name = name.substr(name.size() - 36);
    // File names are bytes; session ids are text.
    return "codex:" + Text::replacingInvalidUTF8(name);
}

std::vector<std::string> CodexRolloutTailer::trackedPaths() const
{
    std::vector<std::string> paths;
    paths.reserve(m_files.size());
    for (auto const& [path, file] : m_files)
        paths.push_back(path);
    return paths;
}

std::string CodexRolloutTailer::statusText() const
{
    std::string last = "never";
    if (m_lastEventAt) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.0f", m_lastEventAt->secondsSince1970);
        last = buffer;
    }
    return std::to_string(m_files.size()) + " files tracked (" + std::to_string(m_dormant.size()) + " dormant), "
        + std::to_string(m_bytesRead) + " bytes read, " + std::to_string(m_eventsEmitted) + " events (last " + last + "), "
        + std::to_string(m_droppedLines) + " dropped lines";
}

std::vector<SpoolEvent> CodexRolloutTailer::events(std::string_view line, std::string const& sid, double now)
{
    auto events = CodexRecordTranslator::events(line, sid, now);
    if (!events) {
        ++m_droppedLines;
        return {};
    }
    return std::move(*events);
}

std::vector<std::string> CodexRolloutTailer::allRolloutFiles() const
{
    std::vector<std::string> paths;
    std::string const base = m_baseDir.string();
    for (auto const& first : listDirectory(base)) {
        std::string const firstPath = base + "/" + first;
        for (auto const& second : listDirectory(firstPath)) {
            std::string const secondPath = firstPath + "/" + second;
            for (auto const& third : listDirectory(secondPath)) {
                std::string const thirdPath = secondPath + "/" + third;
                for (auto const& name : listDirectory(thirdPath))
                    if (isRolloutName(name))
                        paths.push_back(thirdPath + "/" + name);
            }
        }
    }
    return paths;
}

bool CodexRolloutTailer::track(std::string const& path, uint64_t offset, double lastGrowth)
{
    FileDescriptor fd = openForReading(path);
    struct stat info { };
    if (!fd.isValid() || ::fstat(fd.get(), &info) != 0)
        return false;
    adopt(path, std::move(fd), info, offset, lastGrowth);
    return true;
}

bool CodexRolloutTailer::trackReplacement(std::string const& path, std::optional<Fingerprint> const& previous, double lastGrowth)
{
    FileDescriptor fd = openForReading(path);
    struct stat info { };
    if (!fd.isValid() || ::fstat(fd.get(), &info) != 0)
        return false;
    uint64_t const size = fileSize(info);
    bool const continues = previous && previous->offset <= size && fingerprint(fd.get(), previous->offset) == previous;
    adopt(path, std::move(fd), info, continues ? previous->offset : newFileOffset(size), lastGrowth);
    return true;
}

void CodexRolloutTailer::adopt(std::string const& path, FileDescriptor fd, struct stat const& info, uint64_t offset, double lastGrowth)
{
    TrackedFile file;
    file.path = path;
    file.sid = sessionId(std::filesystem::path(path).filename().string());
    file.fd = std::move(fd);
    file.offset = offset;
    file.lastGrowth = lastGrowth;
    file.identity = FileIdentity { info.st_dev, info.st_ino };
    m_dormant.erase(path);
    m_files.insert_or_assign(path, std::move(file));
}

uint64_t CodexRolloutTailer::newFileOffset(uint64_t size) const
{
    return size <= static_cast<uint64_t>(std::max<int64_t>(m_config.newFileReplayCap, 0)) ? 0 : size;
}

std::optional<CodexRolloutTailer::Fingerprint> CodexRolloutTailer::fingerprint(int fd, uint64_t offset)
{
    // With nothing read there is nothing to continue.
    if (offset == 0)
        return std::nullopt;
    size_t const length = static_cast<size_t>(std::min(offset, fingerprintWindow));
    auto head = readAt(fd, 0, length);
    auto tail = readAt(fd, offset - length, length);
    if (!head || !tail)
        return std::nullopt;
    return Fingerprint { offset, hashBytes(*head), hashBytes(*tail) };
}

void CodexRolloutTailer::start(std::optional<Date> now)
{
    double const t = (now ? *now : m_clock()).secondsSince1970;
    m_started = true;
    if (!isDirectory(m_baseDir))
        return;
    for (auto const& path : allRolloutFiles()) {
        if (m_files.contains(path))
            continue;
        auto info = regularFileStatus(path);
        if (!info)
            continue;
        uint64_t const size = fileSize(*info);
        double const mtime = modificationTime(*info);
        double const age = t - mtime;
        if (m_config.recentWindow < age) {
            m_dormant[path] = DormantFile { size, FileIdentity { info->st_dev, info->st_ino }, std::nullopt };
            continue;
        }
        if (!track(path, size, std::min(t, mtime)))
            continue;
        TrackedFile& file = m_files.at(path);
        if (mtime <= t && size >= 1 && age <= m_config.startTailWindow) {
            uint64_t const tail = std::min(static_cast<uint64_t>(std::max<int64_t>(m_config.startTailBytes, 0)), size);
            file.offset = size - tail;
            file.skippingLongLine = file.offset != 0;
            file.replayingStartTail = true;
        }
    }
}

std::vector<SpoolEvent> CodexRolloutTailer::poll(std::optional<Date> now)
{
    double const t = (now ? *now : m_clock()).secondsSince1970;
    if (m_lastPollAt && *m_lastPollAt <= t && t - *m_lastPollAt < m_config.pollInterval)
        return {};
    return runPass(t);
}

std::vector<SpoolEvent> CodexRolloutTailer::runPass(double now)
{
    m_lastPollAt = now;
    if (!isDirectory(m_baseDir))
        return {};
    discoverNewFiles(now);
    checkDormant(now);
    std::vector<SpoolEvent> result;
    for (auto const& path : trackedPaths()) {
        auto events = readNewLines(path, now);
        std::move(events.begin(), events.end(), std::back_inserter(result));
    }
    closeIdleFiles(now);
    m_eventsEmitted += static_cast<int64_t>(result.size());
    if (!result.empty())
        m_lastEventAt = Date::fromSeconds(now);
    return result;
}

void CodexRolloutTailer::discoverNewFiles(double now)
{
    std::vector<std::string> folders { dayDirectory(Date::fromSeconds(now)).string() };
    // On a day longer than 24 hours both instants can fall on the same day.
    if (auto yesterday = dayDirectory(Date::fromSeconds(now - 86400)).string(); yesterday != folders.front())
        folders.push_back(std::move(yesterday));
    for (auto const& folder : folders) {
        for (auto const& name : listDirectory(folder)) {
            if (!isRolloutName(name))
                continue;
            std::string const path = folder + "/" + name;
            if (m_files.contains(path) || m_dormant.contains(path))
                continue;
            auto info = regularFileStatus(path);
            if (!info)
                continue;
            track(path, newFileOffset(fileSize(*info)), now);
        }
    }
}

void CodexRolloutTailer::checkDormant(double now)
{
    for (auto it = m_dormant.begin(); it != m_dormant.end();) {
        std::string const path = it->first;
        DormantFile const saved = it->second;
        struct stat info { };
        if (::stat(path.c_str(), &info) != 0) {
            it = m_dormant.erase(it);
            continue;
        }
        uint64_t const size = fileSize(info);
        if (size == saved.size) {
            ++it;
            continue;
        }
        it = m_dormant.erase(it);
        if (!S_ISREG(info.st_mode))
            continue;
        // Another file now stands at the path (rewritten by an editor, a sync tool, a restore).
        if (saved.identity && !(*saved.identity == FileIdentity { info.st_dev, info.st_ino }))
            trackReplacement(path, saved.fingerprint, now);
        else
            track(path, std::min(size, saved.size), now);
    }
}

bool CodexRolloutTailer::followReplacement(TrackedFile& file, double now)
{
    auto info = regularFileStatus(file.path);
    if (!info || FileIdentity { info->st_dev, info->st_ino } == file.identity)
        return true;
    // The old file is still open: what was read of it is compared with the new one's start.
    auto const previous = fingerprint(file.fd.get(), file.offset);
    bool const skippingLongLine = file.skippingLongLine;
    std::string const path = file.path;
    if (!trackReplacement(path, previous, now))
        return false;
    TrackedFile& replacement = m_files.at(path);
    if (previous && replacement.offset == previous->offset)
        replacement.skippingLongLine = skippingLongLine;
    return true;
}

std::vector<SpoolEvent> CodexRolloutTailer::readNewLines(std::string const& path, double now)
{
    auto found = m_files.find(path);
    if (found == m_files.end())
        return {};
    // A path renamed over or recreated by its writer names a new file; the open descriptor would keep
    // following the old one at an offset that means nothing in the new file.
    if (!followReplacement(found->second, now)) {
        m_files.erase(path);
        return {};
    }
    found = m_files.find(path);
    TrackedFile& file = found->second;

    struct stat info { };
    if (::fstat(file.fd.get(), &info) != 0) {
        m_files.erase(found);
        return {};
    }
    uint64_t const size = fileSize(info);
    if (size < file.offset) {
        file.offset = size;
        return {};
    }
    if (size == file.offset)
        return {};
    if (file.replayingStartTail)
        file.replayingStartTail = false;
    else
        file.lastGrowth = now;

    int64_t const maxLineBytes = m_config.maxLineBytes;
    if (maxLineBytes < 1)
        return {};
    size_t const want = static_cast<size_t>(std::min<uint64_t>(size - file.offset, static_cast<uint64_t>(maxLineBytes)));
    std::string buffer(want, '\0');
    size_t got = 0;
    while (got < want) {
        ssize_t n = ::pread(file.fd.get(), buffer.data() + got, want - got, static_cast<off_t>(file.offset + got));
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    m_bytesRead += static_cast<int64_t>(got);
    if (got == 0)
        return {};
    std::string_view const bytes(buffer.data(), got);

    std::vector<SpoolEvent> result;
    size_t start = 0;
    size_t consumed = 0;
    bool skippedAll = false;
    if (file.skippingLongLine) {
        size_t const lineBreak = bytes.find('\n');
        if (lineBreak == std::string_view::npos) {
            consumed = got;
            skippedAll = true;
        } else {
            file.skippingLongLine = false;
            start = lineBreak + 1;
        }
    }
    if (!skippedAll) {
        size_t const lastBreak = bytes.rfind('\n');
        if (lastBreak == std::string_view::npos || lastBreak < start) {
            if (got - start >= static_cast<uint64_t>(maxLineBytes)) {
                file.skippingLongLine = true;
                ++m_droppedLines;
                consumed = got;
            } else {
                consumed = start;
            }
        } else {
            std::string const sid = file.sid;
            size_t lineStart = start;
            while (lineStart <= lastBreak) {
                size_t const lineEnd = bytes.find('\n', lineStart);
                if (lineEnd > lineStart) {
                    auto events = this->events(bytes.substr(lineStart, lineEnd - lineStart), sid, now);
                    std::move(events.begin(), events.end(), std::back_inserter(result));
                }
                lineStart = lineEnd + 1;
            }
            consumed = lastBreak + 1;
        }
    }
    // events() cannot touch m_files, so the reference is still good.
    file.offset += consumed;
    return result;
}

void CodexRolloutTailer::closeIdleFiles(double now)
{
    for (auto it = m_files.begin(); it != m_files.end();) {
        TrackedFile const& file = it->second;
        if (m_config.idleForget < now - file.lastGrowth) {
            m_dormant[it->first] = DormantFile { file.offset, file.identity, fingerprint(file.fd.get(), file.offset) };
            it = m_files.erase(it);
        } else {
            ++it;
        }
    }
}

}
