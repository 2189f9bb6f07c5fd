#include "PawletKit/SpoolWriter.hpp"

#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/RegularFile.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace PawletKit {

namespace {

std::string describe(SpoolWriter::Error::Kind kind, int32_t errorNumber, int64_t written, int64_t expected)
{
    switch (kind) {
    case SpoolWriter::Error::Kind::Open:
        return "open: " + std::string(std::strerror(errorNumber)) + " (errno " + std::to_string(errorNumber) + ")";
    case SpoolWriter::Error::Kind::Write:
        return "write: " + std::string(std::strerror(errorNumber)) + " (errno " + std::to_string(errorNumber) + ")";
    case SpoolWriter::Error::Kind::ShortWrite:
        return "short write: " + std::to_string(written) + " of " + std::to_string(expected) + " bytes";
    case SpoolWriter::Error::Kind::NotRegularFile:
        return "open: not a regular file";
    }
    return "unknown";
}

FileDescriptor openForAppending(std::filesystem::path const& url)
{
    auto opened = RegularFile::open(url, O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (opened.notRegular)
        throw SpoolWriter::Error::notRegularFile();
    if (!opened.file.isValid())
        throw SpoolWriter::Error::open(opened.error);
    return std::move(opened.file);
}

}

SpoolWriter::Error::Error(Kind kind, int32_t errorNumber, int64_t written, int64_t expected)
    : std::runtime_error(describe(kind, errorNumber, written, expected))
    , m_kind(kind)
    , m_errorNumber(errorNumber)
    , m_written(written)
    , m_expected(expected)
{
}

SpoolWriter::Error SpoolWriter::Error::open(int errorNumber)
{
    return Error(Kind::Open, errorNumber, 0, 0);
}

SpoolWriter::Error SpoolWriter::Error::write(int errorNumber)
{
    return Error(Kind::Write, errorNumber, 0, 0);
}

SpoolWriter::Error SpoolWriter::Error::shortWrite(int64_t written, int64_t expected)
{
    return Error(Kind::ShortWrite, 0, written, expected);
}

SpoolWriter::Error SpoolWriter::Error::notRegularFile()
{
    return Error(Kind::NotRegularFile, 0, 0, 0);
}

bool SpoolWriter::Error::operator==(Error const& other) const
{
    return m_kind == other.m_kind && m_errorNumber == other.m_errorNumber && m_written == other.m_written
        && m_expected == other.m_expected;
}

SpoolWriter::SpoolWriter(std::filesystem::path url)
    : m_url(std::move(url))
{
}

SpoolWriter::SpoolWriter(Paths const& paths)
    : m_url(paths.spool())
{
}

void SpoolWriter::append(SpoolEvent const& event) const
{
    appendLine(event.jsonLine(), m_url, m_emergencyRotateAt);
}

void SpoolWriter::appendLine(std::string_view line, std::filesystem::path const& url, int64_t emergencyRotateAt)
{
    Paths::ensureDirectory(url.parent_path().empty() ? std::filesystem::path(".") : url.parent_path());
    FileDescriptor file = openForAppending(url);

    // Normally the reader rotates; this only keeps the file bounded while the application is not running.
    if (emergencyRotateAt >= 1) {
        struct stat info { };
        if (::fstat(file.get(), &info) == 0 && info.st_size > emergencyRotateAt) {
            auto rotated = url.parent_path() / "events.1.jsonl";
            if (::rename(url.c_str(), rotated.c_str()) == 0) {
                file.reset();
                file = openForAppending(url);
            }
        }
    }

    // One write call per line: with O_APPEND each line lands whole at the end, between other writers' lines.
    ssize_t written;
    do
        written = ::write(file.get(), line.data(), line.size());
    while (written < 0 && errno == EINTR);
    if (written < 0)
        throw Error::write(errno);
    if (static_cast<size_t>(written) != line.size())
        throw Error::shortWrite(written, static_cast<int64_t>(line.size()));
}

}
