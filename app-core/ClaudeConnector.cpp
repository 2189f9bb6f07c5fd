#include "app-core/ClaudeConnector.hpp"

#include "app-core/SupportData.hpp"

#include "PawletKit/AgentConfig.hpp"
#include "PawletKit/AtomicFile.hpp"
#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/ChildProcessRunner.hpp"
#include "PawletKit/Date.hpp"
#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/SettingsInstaller.hpp"
#include "PawletKit/UserFile.hpp"
#include "platform/InstallLayout.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace PupnikCore {

namespace fs = std::filesystem;
using PawletKit::JSON::Value;
namespace SettingsInstaller = PawletKit::SettingsInstaller;

namespace {

constexpr std::string_view selftestField = "\"ev\":\"selftest\"";
// How much of an event file past the noted end is searched for the self-test line.
constexpr size_t maxSearchedEventBytes = 4 * 1024 * 1024;
constexpr size_t maxSelftestOutputBytes = 64 * 1024;
// Backups taken within one second get "-2", "-3"... up to this many names.
constexpr int maxBackupsPerSecond = 1000;

std::string describe(int error)
{
    return std::generic_category().message(error);
}

// Which file sat at an event file's name, and how long it was.
struct FileMark {
    bool exists { false };
    dev_t device { 0 };
    ino_t inode { 0 };
    off_t size { 0 };

    static FileMark of(fs::path const& path)
    {
        FileMark mark;
        struct stat info { };
        if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            mark.exists = true;
            mark.device = info.st_dev;
            mark.inode = info.st_ino;
            mark.size = info.st_size;
        }
        return mark;
    }
    bool sameFile(struct stat const& info) const { return exists && info.st_dev == device && info.st_ino == inode; }
};

// The bytes a file holds past the mark; all of it when it is a file the mark did not see, none when
// it is the one `unchanged` saw before.
std::string bytesAfter(fs::path const& path, FileMark const& mark, FileMark const& unchanged)
{
    PawletKit::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info { };
    if (!file.isValid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || unchanged.sameFile(info))
        return {};
    off_t offset = mark.sameFile(info) ? mark.size : 0;
    if (info.st_size <= offset)
        return {};
    std::string bytes(std::min(static_cast<size_t>(info.st_size - offset), maxSearchedEventBytes), '\0');
    size_t filled = 0;
    while (filled < bytes.size()) {
        ssize_t got = ::pread(file.get(), bytes.data() + filled, bytes.size() - filled, offset + static_cast<off_t>(filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        filled += static_cast<size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

bool isExecutableFile(fs::path const& path)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool hasOwnStatusLine(Value const& settings)
{
    auto const* statusLine = PawletKit::JSON::member(&settings, "statusLine");
    return statusLine && statusLine->is_object() && SettingsInstaller::isOwnCommand(PawletKit::JSON::member(statusLine, "command"));
}

// The command the entry hands on for forwarding, as the installer reads it.
std::optional<std::string> forwardedCommandOf(Value const& entry)
{
    auto const* command = PawletKit::JSON::member(&entry, "command");
    if (!command || !command->is_string())
        return std::nullopt;
    auto trimmed = PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(command->get_ref<std::string const&>());
    if (trimmed.empty())
        return std::nullopt;
    return std::string(trimmed);
}

// The user's status-line entry that an install is about to displace: the foreign entry itself, or,
// when ours is already in place, the one an earlier install kept.
std::optional<Value> displacedEntry(Value const& settings, std::optional<PawletKit::AgentConfig> const& previous)
{
    auto const* statusLine = PawletKit::JSON::member(&settings, "statusLine");
    if (!statusLine || !statusLine->is_object())
        return std::nullopt;
    if (SettingsInstaller::isOwnCommand(PawletKit::JSON::member(statusLine, "command")))
        return previous ? previous->displacedStatusLine : std::nullopt;
    auto encoded = PawletKit::JSON::serialize(*statusLine);
    if (!encoded || encoded->size() > ClaudeConnector::maxDisplacedEntryBytes)
        return std::nullopt;
    return *statusLine;
}

std::string stampOf(double seconds)
{
    auto stamp = PawletKit::Date::fromSeconds(std::floor(seconds)).iso8601();
    std::replace(stamp.begin(), stamp.end(), ':', '-');
    return stamp;
}

}

ClaudeConnector::Failure::Failure(Kind kind, std::vector<std::string> strings)
    : m_kind(kind)
    , m_strings(std::move(strings))
{
    m_description = std::string(localizationKey());
    for (auto const& string : m_strings)
        m_description += " " + string;
}

ClaudeConnector::Failure ClaudeConnector::Failure::helperMissing(std::string path)
{
    return Failure(Kind::helperMissing, { std::move(path) });
}

ClaudeConnector::Failure ClaudeConnector::Failure::settingsUnparsable(std::string path)
{
    return Failure(Kind::settingsUnparsable, { std::move(path) });
}

ClaudeConnector::Failure ClaudeConnector::Failure::writeFailed(std::string path, std::string reason)
{
    return Failure(Kind::writeFailed, { std::move(path), std::move(reason) });
}

ClaudeConnector::Failure ClaudeConnector::Failure::selftestFailed(std::string reason, std::string supportDirectory)
{
    return Failure(Kind::selftestFailed, { std::move(reason), std::move(supportDirectory) });
}

std::string_view ClaudeConnector::Failure::localizationKey() const
{
    switch (m_kind) {
    case Kind::helperMissing:
        return "connect.helperMissing";
    case Kind::settingsUnparsable:
        return "connect.settingsUnparsable";
    case Kind::writeFailed:
        return "connect.writeFailed";
    case Kind::selftestFailed:
        return "connect.selftestFailed";
    }
    return "connect.writeFailed";
}

std::string ClaudeConnector::Failure::localizedDescription(Localizer const& localizer) const
{
    return localizer.format(localizationKey(), std::vector<PawletShared::TemplateArgument>(m_strings.begin(), m_strings.end()));
}

ClaudeConnector::ClaudeConnector(fs::path settingsFile, PawletKit::Paths paths, std::vector<fs::path> helperCandidates,
    PawletKit::Environment environment, Platform::Clock const& clock,
    std::shared_ptr<PawletKit::ProcessRunner const> runner, double selftestTimeout)
    : m_settingsFile(std::move(settingsFile))
    , m_paths(std::move(paths))
    , m_helperCandidates(std::move(helperCandidates))
    , m_environment(std::move(environment))
    , m_clock(clock)
    , m_runner(runner ? std::move(runner) : std::make_shared<PawletKit::ChildProcessRunner>())
    , m_selftestTimeout(selftestTimeout)
{
}

fs::path ClaudeConnector::defaultSettingsFile(PawletKit::Environment const& environment)
{
    return PawletKit::Paths::homeDirectory(environment) / ".claude" / "settings.json";
}

std::vector<fs::path> ClaudeConnector::defaultHelperCandidates()
{
    auto layout = Platform::InstallLayout::ofRunningProgram();
    if (!layout)
        return {};
    return { layout->libexecDirectory() / PawletKit::Paths::agentToolName,
        layout->executable().parent_path() / PawletKit::Paths::agentToolName };
}

std::optional<Value> ClaudeConnector::readForQuery() const
{
    auto reading = PawletKit::UserFile::read(m_settingsFile, maxSettingsBytes);
    if (reading.outcome != PawletKit::UserFile::Reading::Outcome::read)
        return std::nullopt;
    try {
        auto value = PawletKit::JSON::parse(reading.bytes);
        if (value.is_object())
            return value;
    } catch (Value::exception const&) {
    }
    return std::nullopt;
}

bool ClaudeConnector::isConnected() const
{
    auto settings = readForQuery();
    return settings && SettingsInstaller::isInstalled(*settings);
}

bool ClaudeConnector::isComplete() const
{
    auto settings = readForQuery();
    return settings && SettingsInstaller::isInstalled(*settings) && SettingsInstaller::isComplete(*settings);
}

bool ClaudeConnector::needsHookUpgrade() const
{
    auto settings = readForQuery();
    return settings && SettingsInstaller::needsHookUpgrade(*settings);
}

ClaudeConnector::Settings ClaudeConnector::readSettings() const
{
    using Outcome = PawletKit::UserFile::Reading::Outcome;
    auto path = m_settingsFile.string();
    auto reading = PawletKit::UserFile::read(m_settingsFile, maxSettingsBytes);
    switch (reading.outcome) {
    case Outcome::missing:
        return { Value::object(), std::nullopt };
    // A file that exists but cannot be read is never taken for an empty one: writing ours in its
    // place would lose the user's settings.
    case Outcome::notRegular:
        throw Failure::writeFailed(path, "not a regular file");
    case Outcome::tooLarge:
        throw Failure::writeFailed(path, "larger than " + std::to_string(maxSettingsBytes / (1024 * 1024)) + " MiB");
    case Outcome::unreadable:
        throw Failure::writeFailed(path, describe(reading.error));
    case Outcome::read:
        break;
    }
    // The owner took write permission away: the file is not to be changed, by a rename over it either.
    struct stat info { };
    if (::stat(m_settingsFile.c_str(), &info) == 0 && !(info.st_mode & S_IWUSR))
        throw Failure::writeFailed(path, "read-only");
    auto const isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    if (std::all_of(reading.bytes.begin(), reading.bytes.end(), isBlank))
        return { Value::object(), std::move(reading.bytes) };
    try {
        auto value = PawletKit::JSON::parse(reading.bytes);
        if (value.is_object())
            return { std::move(value), std::move(reading.bytes) };
    } catch (Value::exception const&) {
    }
    throw Failure::settingsUnparsable(path);
}

std::string ClaudeConnector::backUpSettings(std::optional<std::string> const& bytes) const
{
    if (!bytes)
        return std::string(noBackup);
    auto beside = m_settingsFile;
    beside += ".pupnik.bak";
    try {
        PawletKit::AtomicFile::write(beside, *bytes, 0600);
    } catch (std::system_error const& error) {
        throw Failure::writeFailed(beside.string(), error.code().message());
    }
    m_paths.ensureSupportDirectory();
    writeTimestampedBackup(*bytes);
    return beside.string();
}

void ClaudeConnector::writeTimestampedBackup(std::string const& bytes) const
{
    auto folder = m_paths.base() / "backups";
    try {
        PawletKit::Paths::ensureDirectory(folder);
    } catch (std::system_error const&) {
        return;
    }
    // Two backups within one second keep both: the later takes the next free name. Only the
    // application writes here, one operation at a time.
    auto stamp = stampOf(m_clock.now());
    for (int attempt = 1; attempt <= maxBackupsPerSecond; ++attempt) {
        auto name = "settings-" + stamp + (attempt == 1 ? "" : "-" + std::to_string(attempt)) + ".json";
        auto file = folder / name;
        struct stat info { };
        if (::lstat(file.c_str(), &info) == 0 || errno != ENOENT)
            continue;
        try {
            PawletKit::AtomicFile::write(file, bytes, 0600);
        } catch (std::system_error const&) {
        }
        return;
    }
}

void ClaudeConnector::writeSettings(Value const& settings) const
{
    auto path = m_settingsFile.string();
    auto encoded = settings.is_object() ? PawletKit::JSON::serialize(settings, true) : std::nullopt;
    if (!encoded)
        throw Failure::writeFailed(path, "not JSON-representable");
    *encoded += "\n";
    try {
        auto folder = m_settingsFile.parent_path();
        if (!folder.empty())
            PawletKit::Paths::ensureDirectory(folder);
        PawletKit::UserFile::write(m_settingsFile, *encoded, 0600);
    } catch (std::system_error const& error) {
        throw Failure::writeFailed(path, error.code().message());
    }
}

fs::path ClaudeConnector::findHelper() const
{
    for (auto const& candidate : m_helperCandidates)
        if (isExecutableFile(candidate))
            return candidate;
    throw Failure::helperMissing(m_helperCandidates.empty() ? std::string(PawletKit::Paths::agentToolName) : m_helperCandidates.front().string());
}

void ClaudeConnector::selftest(fs::path const& tool) const
{
    auto const base = m_paths.base().string();
    auto const spool = m_paths.spool();
    auto const rotated = m_paths.rotatedSpool();
    auto const spoolBefore = FileMark::of(spool);
    auto const rotatedBefore = FileMark::of(rotated);

    PawletKit::ProcessRunner::Request request;
    request.executable = tool;
    request.arguments = { "selftest" };
    request.environment = m_environment;
    request.environment[std::string(PawletKit::Paths::supportDirVariable)] = base;
    request.timeout = m_selftestTimeout;
    request.maxOutputBytes = maxSelftestOutputBytes;
    auto result = m_runner->run(request);

    using Ending = PawletKit::ProcessRunner::Result::Ending;
    switch (result.ending) {
    case Ending::failedToStart:
        throw Failure::selftestFailed(describe(result.startError), base);
    case Ending::timedOut:
        throw Failure::selftestFailed("timed out after " + PawletKit::JSON::numberText(m_selftestTimeout) + " s", base);
    case Ending::signalled:
        throw Failure::selftestFailed("signal " + std::to_string(result.status), base);
    case Ending::exited:
        break;
    }
    if (result.status != 0 || PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(result.standardOutput).empty())
        throw Failure::selftestFailed("exit " + std::to_string(result.status), base);

    // The event file may have been rotated while the tool ran: then the line is in the rotated file,
    // or at the start of a new one.
    if (bytesAfter(spool, spoolBefore, {}).find(selftestField) != std::string::npos)
        return;
    if (bytesAfter(rotated, spoolBefore, rotatedBefore).find(selftestField) != std::string::npos)
        return;
    throw Failure::selftestFailed("no selftest line in " + spool.string(), base);
}

ClaudeConnector::InstallReport ClaudeConnector::install() const
{
    auto helper = findHelper();
    m_paths.ensureDirectories();
    PawletKit::AtomicFile::copy(helper, m_paths.agentTool(), 0755);

    auto settings = readSettings();
    auto backupPath = backUpSettings(settings.bytes);
    auto previous = PawletKit::AgentConfig::load(m_paths.config());
    auto forwarded = previous ? previous->forwardStatusLine : std::nullopt;
    auto displaced = displacedEntry(settings.object, previous);
    auto merged = SettingsInstaller::install(std::move(settings.object), m_paths.agentTool().string(), forwarded);
    writeSettings(merged.settings);

    PawletKit::AgentConfig config;
    config.version = PawletKit::AgentConfig::currentVersion;
    config.forwardStatusLine = merged.forwardStatusLine;
    config.installedAt = PawletKit::Date::fromSeconds(m_clock.now());
    config.displacedStatusLine = std::move(displaced);
    config.save(m_paths.config());

    selftest(m_paths.agentTool());
    return { m_settingsFile.string(), backupPath, merged.forwardStatusLine };
}

void ClaudeConnector::uninstall(bool removeSupportData) const
{
    auto settings = readSettings();
    if (settings.bytes) {
        backUpSettings(settings.bytes);
        auto config = PawletKit::AgentConfig::load(m_paths.config());
        auto restoring = config ? config->forwardStatusLine : std::nullopt;
        bool ours = hasOwnStatusLine(settings.object);
        auto patched = SettingsInstaller::uninstall(std::move(settings.object), restoring);
        // The user's entry goes back whole (its refresh interval, padding and the rest), as long as
        // it is the one whose command config.json forwards to.
        if (ours && config && config->displacedStatusLine && forwardedCommandOf(*config->displacedStatusLine) == restoring)
            patched["statusLine"] = *config->displacedStatusLine;
        writeSettings(patched);
    }
    if (removeSupportData)
        SupportData::remove(m_paths);
}

}
