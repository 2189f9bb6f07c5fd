#pragma once

#include "PawletKit/Environment.hpp"
#include "platform/DefaultsStore.hpp"

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <sys/stat.h>

namespace Platform {

// A defaults suite kept as one JSON object in <folder>/<suite>.json, which several programs may share.
// Reads see another program's changes: the file is read again whenever its identity, size or times
// differ from the copy held. A change reads the file afresh, changes only its own keys and replaces
// the file atomically, all under an exclusive lock on <folder>/.<suite>.json.lock, so no writer loses
// another's keys. A new file gets mode 0600, and a file that is a symbolic link is replaced behind
// the link, keeping the target's mode. A file that cannot be read as a JSON object
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
    // What stat says of the file; a replacement or an edit changes at least one of these.
    struct Signature {
        bool exists { false };
        dev_t device { 0 };
        ino_t inode { 0 };
        off_t size { 0 };
        timespec modified {};
        timespec changed {};
        bool operator==(Signature const& other) const;
    };
    using Values = std::map<std::string, nlohmann::json, std::less<>>;

    explicit FileDefaultsStore(std::filesystem::path file);
    static bool isStorable(std::string_view key, nlohmann::json const& value);
    Signature currentSignature() const;
    // Reads the file again when it is not the one last read. Under m_mutex.
    void refresh() const;
    void load() const;
    // Reads afresh and applies the changes under the file lock; writes only when a value changed.
    void change(Changes const& changes);
    void persist();
    void keepAside() const;

    std::filesystem::path m_file;
    std::filesystem::path m_lockFile;
    mutable std::mutex m_mutex;
    mutable Values m_values;
    mutable std::optional<Signature> m_signature;
    // The file last read could not be read; it is copied aside before it is written over.
    mutable bool m_keepAside { false };
};

}
