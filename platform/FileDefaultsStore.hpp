#pragma once

#include "PawletKit/Environment.hpp"
#include "platform/DefaultsStore.hpp"

#include <filesystem>
#include <map>
#include <mutex>

namespace Platform {

// A defaults suite kept as one JSON object in <folder>/<suite>.json, read once when opened and
// replaced atomically on every change: a new file gets mode 0600, and a file that is a symbolic link
// is replaced behind the link, keeping the target's mode. A file that cannot be read as a JSON object
// reads as empty; the first save copies it aside, beside itself, as <name>.unreadable-<UTC time>
// (a name no suite reads) and only then writes over it. Both steps leave a log line.
class FileDefaultsStore final : public DefaultsStore {
public:
    static constexpr size_t maxFileBytes = 16 * 1024 * 1024;

    // $XDG_CONFIG_HOME/Pupnik when that variable holds an absolute path, else ~/.config/Pupnik.
    static std::filesystem::path defaultFolder(PawletKit::Environment const& environment);
    // Suite names become file names: letters, digits, ".", "-" and "_", 1 to 128 characters, not
    // beginning with "."; nothing for any other name.
    static std::optional<std::filesystem::path> fileFor(std::filesystem::path const& folder, std::string_view suite);

    // Nothing when the suite name cannot name a file.
    static std::unique_ptr<FileDefaultsStore> open(std::filesystem::path const& folder, std::string_view suite);

    std::filesystem::path const& file() const { return m_file; }

    std::optional<nlohmann::json> object(std::string_view key) const override;
    void set(std::string_view key, nlohmann::json value) override;
    void remove(std::string_view key) override;
    // The whole batch in one replacement of the file, and none when nothing changes.
    void apply(Changes const& changes) override;

private:
    explicit FileDefaultsStore(std::filesystem::path file);
    static bool isStorable(std::string_view key, nlohmann::json const& value);
    void load();
    void persist();
    void keepAside() const;

    std::filesystem::path m_file;
    mutable std::mutex m_mutex;
    std::map<std::string, nlohmann::json, std::less<>> m_values;
    // The file found at opening could not be read; it is copied aside before it is written over.
    bool m_keepAside { false };
};

}
