#pragma once

#include "PawletKit/Paths.hpp"
#include "PawletKit/SpoolEvent.hpp"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace PawletKit {

// Appends event lines to events.jsonl, one write call per line on a descriptor opened for appending, so
// that any number of short-lived writer processes add whole lines while the reader follows and rotates
// the file. No descriptor is held between lines. Only a regular file is written: a symbolic link or a
// FIFO planted at the path is an error, never followed or waited on.
class SpoolWriter final {
public:
    static constexpr int64_t defaultEmergencyRotateAt = 33554432;

    class Error final : public std::runtime_error {
    public:
        enum class Kind {
            Open,
            Write,
            ShortWrite,
            // Something other than a regular file (a FIFO, a socket, a device) stands at the path.
            NotRegularFile,
        };

        static Error open(int errorNumber);
        static Error write(int errorNumber);
        static Error shortWrite(int64_t written, int64_t expected);
        static Error notRegularFile();

        Kind kind() const { return m_kind; }
        // Set for Open and Write.
        int32_t errorNumber() const { return m_errorNumber; }
        // Set for ShortWrite.
        int64_t written() const { return m_written; }
        int64_t expected() const { return m_expected; }

        bool operator==(Error const& other) const;

    private:
        Error(Kind, int32_t errorNumber, int64_t written, int64_t expected);

        Kind m_kind;
        int32_t m_errorNumber { 0 };
        int64_t m_written { 0 };
        int64_t m_expected { 0 };
    };

    explicit SpoolWriter(std::filesystem::path url);
    explicit SpoolWriter(Paths const& paths);

    std::filesystem::path const& url() const { return m_url; }
    // Rotate before writing when the file is larger than this; below 1 the writer never rotates.
    int64_t emergencyRotateAt() const { return m_emergencyRotateAt; }
    void setEmergencyRotateAt(int64_t bytes) { m_emergencyRotateAt = bytes; }

    // Throws Error, or std::system_error when the file's folder cannot be created.
    void append(SpoolEvent const& event) const;
    // The line is written as given, line feed included.
    static void appendLine(std::string_view line, std::filesystem::path const& url, int64_t emergencyRotateAt);

private:
    std::filesystem::path m_url;
    int64_t m_emergencyRotateAt { defaultEmergencyRotateAt };
};

}
