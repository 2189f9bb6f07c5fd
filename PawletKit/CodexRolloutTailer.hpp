#pragma once

#include "PawletKit/Date.hpp"
#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/SpoolEvent.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace PawletKit {

// Follows the session transcripts codex appends to (<base>/YYYY/MM/DD/rollout-*.jsonl) and turns their
// new records into hook-shaped events. Passive: the owner calls start once and poll on every tick.
// Reads only; never writes, locks, moves or deletes a transcript.
class CodexRolloutTailer final {
public:
    struct Config {
        double recentWindow { 21600 };
        double idleForget { 7200 };
        double pollInterval { 1 };
        int64_t maxLineBytes { 8388608 };
        int64_t newFileReplayCap { 262144 };
        double startTailWindow { 1800 };
        int64_t startTailBytes { 262144 };
    };

    struct CalendarDay {
        int year { 0 };
        int month { 0 };
        int day { 0 };
    };
    // Names the calendar day of an instant (epoch seconds) in some time zone; nothing when it cannot.
    using Calendar = std::function<std::optional<CalendarDay>(double)>;
    using Clock = std::function<Date()>;

    static constexpr std::string_view sourceName = "codex";
    static constexpr std::string_view filePrefix = "rollout-";
    static constexpr std::string_view fileExtension = "jsonl";

    // Default configuration, the process's time zone and the system clock.
    explicit CodexRolloutTailer(std::filesystem::path const& baseDir);
    CodexRolloutTailer(std::filesystem::path const& baseDir, Config config, Calendar calendar, Clock clock);
    CodexRolloutTailer(CodexRolloutTailer const&) = delete;
    CodexRolloutTailer& operator=(CodexRolloutTailer const&) = delete;

    // ~/.codex/sessions
    static std::filesystem::path defaultBaseDir();
    // The process's own time zone, through localtime_r.
    static Calendar localCalendar();
    // A zone at a fixed distance from UTC, in seconds east.
    static Calendar fixedOffsetCalendar(int64_t secondsEast);

    std::filesystem::path const& baseDir() const { return m_baseDir; }
    Config const& config() const { return m_config; }
    int64_t bytesRead() const { return m_bytesRead; }
    int64_t eventsEmitted() const { return m_eventsEmitted; }
    int64_t droppedLines() const { return m_droppedLines; }
    std::optional<Date> lastEventAt() const { return m_lastEventAt; }
    bool started() const { return m_started; }

    bool isAvailable() const;
    void start(std::optional<Date> now = std::nullopt);
    std::vector<SpoolEvent> poll(std::optional<Date> now = std::nullopt);

    size_t trackedFileCount() const { return m_files.size(); }
    size_t dormantFileCount() const { return m_dormant.size(); }
    std::vector<std::string> trackedPaths() const;
    std::string statusText() const;

    static std::string sessionId(std::string_view fileName);
    static bool isUUIDShaped(std::string_view text);
    std::filesystem::path dayDirectory(Date date) const;

    // One complete transcript line to its events; counts a line that is no record in droppedLines.
    std::vector<SpoolEvent> events(std::string_view line, std::string const& sid, double now);

private:
    // A file is known by its device and inode, so a path that now names another file is noticed.
    struct FileIdentity {
        dev_t device { 0 };
        ino_t inode { 0 };
        bool operator==(FileIdentity const&) const = default;
    };
    struct TrackedFile {
        std::string path;
        std::string sid;
        FileDescriptor fd;
        uint64_t offset { 0 };
        double lastGrowth { 0 };
        bool skippingLongLine { false };
        bool replayingStartTail { false };
        FileIdentity identity;
    };
    // What a file held before a position, in a bounded form: the head and the last bytes before it.
    // A file that replaces another continues it when it holds the same bytes there.
    struct Fingerprint {
        uint64_t offset { 0 };
        uint64_t head { 0 };
        uint64_t tail { 0 };
        bool operator==(Fingerprint const&) const = default;
    };
    struct DormantFile {
        uint64_t size { 0 };
        std::optional<FileIdentity> identity;
        std::optional<Fingerprint> fingerprint;
    };

    std::vector<SpoolEvent> runPass(double now);
    void discoverNewFiles(double now);
    void checkDormant(double now);
    std::vector<SpoolEvent> readNewLines(std::string const& path, double now);
    void closeIdleFiles(double now);
    std::vector<std::string> allRolloutFiles() const;
    bool track(std::string const& path, uint64_t offset, double lastGrowth);
    // Tracks the file now at a path that held another one, read up to `previous`.
    bool trackReplacement(std::string const& path, std::optional<Fingerprint> const& previous, double lastGrowth);
    void adopt(std::string const& path, FileDescriptor fd, struct stat const& info, uint64_t offset, double lastGrowth);
    bool followReplacement(TrackedFile& file, double now);
    uint64_t newFileOffset(uint64_t size) const;
    static std::optional<Fingerprint> fingerprint(int fd, uint64_t offset);

    std::filesystem::path m_baseDir;
    Config m_config;
    Clock m_clock;
    Calendar m_calendar;
    int64_t m_bytesRead { 0 };
    int64_t m_eventsEmitted { 0 };
    int64_t m_droppedLines { 0 };
    std::optional<Date> m_lastEventAt;
    bool m_started { false };
    std::optional<double> m_lastPollAt;
    std::map<std::string, TrackedFile> m_files;
    std::map<std::string, DormantFile> m_dormant;
};

}
