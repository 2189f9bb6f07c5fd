#pragma once

#include "PawletKit/Environment.hpp"
#include "PawletKit/JSON.hpp"
#include "PawletKit/Paths.hpp"
#include "PawletKit/ProcessRunner.hpp"
#include "app-core/Localizer.hpp"
#include "platform/Clock.hpp"

#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PupnikCore {

// Connects the coding agent to us and disconnects it again: installs the agent tool into the support
// directory, merges our hook and status-line entries into the agent's settings file (with backups),
// records the displaced status line in config.json, and proves the installation with the tool's
// self-test. Connecting and updating the hooks are the same install. Runs synchronously.
class ClaudeConnector final {
public:
    // A failure the user is told about: a localisation key and the strings it is formatted with.
    class Failure final : public std::exception {
    public:
        enum class Kind {
            helperMissing,
            settingsUnparsable,
            writeFailed,
            selftestFailed,
        };

        static Failure helperMissing(std::string path);
        static Failure settingsUnparsable(std::string path);
        static Failure writeFailed(std::string path, std::string reason);
        static Failure selftestFailed(std::string reason, std::string supportDirectory);

        Kind kind() const { return m_kind; }
        std::vector<std::string> const& strings() const { return m_strings; }
        // "connect.helperMissing" and its siblings; the strings fill the text's placeholders in order.
        std::string_view localizationKey() const;
        // What the user is shown: the key's text in the localiser's language, filled with the strings.
        std::string localizedDescription(Localizer const& localizer = Localizer::shared()) const;
        // The key and the strings, for logs.
        char const* what() const noexcept override { return m_description.c_str(); }

        bool operator==(Failure const& other) const { return m_kind == other.m_kind && m_strings == other.m_strings; }

    private:
        Failure(Kind kind, std::vector<std::string> strings);

        Kind m_kind;
        std::vector<std::string> m_strings;
        std::string m_description;
    };

    struct InstallReport {
        std::string settingsPath;
        // The copy beside the settings file, or "—" when there was no file to back up.
        std::string backupPath;
        std::optional<std::string> forwardStatusLine;

        bool operator==(InstallReport const&) const = default;
    };

    static constexpr size_t maxSettingsBytes = 8 * 1024 * 1024;
    // A displaced status-line entry larger than this is not kept whole: config.json stays small
    // enough for the agent tool, which reads it on every status-line call.
    static constexpr size_t maxDisplacedEntryBytes = 64 * 1024;
    static constexpr double defaultSelftestTimeout = 10;
    static constexpr std::string_view noBackup = "—";

    ClaudeConnector(std::filesystem::path settingsFile, PawletKit::Paths paths, std::vector<std::filesystem::path> helperCandidates,
        PawletKit::Environment environment, Platform::Clock const& clock,
        std::shared_ptr<PawletKit::ProcessRunner const> runner = nullptr, double selftestTimeout = defaultSelftestTimeout);

    // The coding agent's own settings file, ~/.claude/settings.json.
    static std::filesystem::path defaultSettingsFile(PawletKit::Environment const& environment);
    // The installation's agent tool, then a copy beside the running program.
    static std::vector<std::filesystem::path> defaultHelperCandidates();

    std::filesystem::path const& settingsFile() const { return m_settingsFile; }
    PawletKit::Paths const& paths() const { return m_paths; }
    std::vector<std::filesystem::path> const& helperCandidates() const { return m_helperCandidates; }
    PawletKit::Environment const& environment() const { return m_environment; }

    // Read afresh on every call; false for a missing, unreadable or unparsable file. Never throw.
    bool isConnected() const;
    bool isComplete() const;
    bool needsHookUpgrade() const;

    // Throws Failure, or std::system_error for the file steps without a case of their own (support
    // folders, the tool's copy, config.json). Steps done before a failure stay done.
    InstallReport install() const;
    // The same errors. An unparsable settings file stops everything, the removal of support data too.
    void uninstall(bool removeSupportData) const;

private:
    struct Settings {
        PawletKit::JSON::Value object;
        // The file's bytes as found; nothing when there was no file.
        std::optional<std::string> bytes;
    };

    std::optional<PawletKit::JSON::Value> readForQuery() const;
    Settings readSettings() const;
    std::string backUpSettings(std::optional<std::string> const& bytes) const;
    void writeTimestampedBackup(std::string const& bytes) const;
    void writeSettings(PawletKit::JSON::Value const& settings) const;
    std::filesystem::path findHelper() const;
    void selftest(std::filesystem::path const& tool) const;

    std::filesystem::path m_settingsFile;
    PawletKit::Paths m_paths;
    std::vector<std::filesystem::path> m_helperCandidates;
    PawletKit::Environment m_environment;
    Platform::Clock const& m_clock;
    std::shared_ptr<PawletKit::ProcessRunner const> m_runner;
    double m_selftestTimeout;
};

}
