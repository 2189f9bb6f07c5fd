#pragma once

#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/Paths.hpp"
#include "PawletKit/SpoolEvent.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace PawletKit {

// Follows events.jsonl from the application's side. Each poll returns the records of the complete lines
// appended since the last one; the file is tracked by device and inode across renames and replacements,
// and rotated to events.1.jsonl once it is larger than the limit and consumed completely. The renamed
// file stays open for a while to collect lines still written through descriptors opened before the rename;
// each renamed file is drained for its full time, also when further rotations follow within it.
class SpoolReader final {
public:
    static constexpr int64_t defaultRotateAt = 2097152;
    static constexpr double defaultRetainRotatedFor = 5.0;
    // Lines nested deeper than this are dropped unparsed: writers nest a handful of levels, and a value
    // nested tens of thousands deep would exhaust the stack of whatever walks it.
    static constexpr size_t maxLineNestingDepth = 32;
    // One poll reads at most this much of a file; the rest waits for the next poll, so a file that grew
    // huge while nobody rotated it cannot make one poll allocate all of it.
    static constexpr uint64_t maxBytesPerPoll = 8 * 1024 * 1024;
    // Beyond this many renamed files still being drained, the oldest is let go.
    static constexpr size_t maxRetainedRotatedFiles = 64;

    // rotateAt must not be negative.
    explicit SpoolReader(Paths paths, int64_t rotateAt = defaultRotateAt);
    SpoolReader(SpoolReader const&) = delete;
    SpoolReader& operator=(SpoolReader const&) = delete;

    // Lines already in the file are not returned by later polls.
    void skipToEnd();
    // Never fails; bad lines are counted in droppedLines and skipped.
    std::vector<SpoolEvent> poll();

    // One line without its line feed to a record; nothing for a line that is not a usable record.
    static std::optional<SpoolEvent> decodeLine(std::string_view line);

    Paths const& paths() const { return m_paths; }
    int64_t rotateAt() const { return m_rotateAt; }
    uint64_t offset() const { return m_current.offset; }
    int64_t droppedLines() const { return m_droppedLines; }
    int64_t rotations() const { return m_rotations; }
    double retainRotatedFor() const { return m_retainRotatedFor; }
    void setRetainRotatedFor(double seconds) { m_retainRotatedFor = seconds; }
    size_t drainingRotatedFiles() const { return m_retainedRotated.size(); }
    // Called right after each successful rename.
    void setAfterRenameHook(std::function<void()> hook) { m_afterRenameHook = std::move(hook); }
    // Receives one line each time something other than a regular file (a FIFO, a link, a folder) comes
    // to stand at the path of the event file; it is skipped, never read, until a regular file is back.
    void setLogHook(std::function<void(std::string_view)> hook) { m_logHook = std::move(hook); }

private:
    struct Identity {
        dev_t device;
        ino_t inode;
        bool operator==(Identity const&) const = default;
    };

    // How far one file has been consumed. A line that grew past the line limit without its line feed is
    // counted once and its remaining bytes skipped up to the next line feed, instead of being read again
    // on every poll.
    struct Cursor {
        uint64_t offset { 0 };
        bool skippingLongLine { false };
    };

    struct RetainedFile {
        FileDescriptor file;
        Cursor cursor;
        double until { 0 };
    };

    void readNewLines(int fd, Cursor& cursor, uint64_t end, std::vector<SpoolEvent>& into);
    FileDescriptor openSpool();

    Paths m_paths;
    int64_t m_rotateAt;
    Cursor m_current;
    int64_t m_droppedLines { 0 };
    int64_t m_rotations { 0 };
    // Oldest first.
    std::vector<RetainedFile> m_retainedRotated;
    std::optional<Identity> m_currentIdentity;
    double m_retainRotatedFor { defaultRetainRotatedFor };
    std::function<void()> m_afterRenameHook;
    std::function<void(std::string_view)> m_logHook;
    bool m_skippingUnusableSpool { false };
};

}
