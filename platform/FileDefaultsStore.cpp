#include "platform/FileDefaultsStore.hpp"

#include "PawletKit/AtomicFile.hpp"
#include "PawletKit/Date.hpp"
#include "PawletKit/JSON.hpp"
#include "PawletKit/Paths.hpp"
#include "PawletKit/RegularFile.hpp"
#include "PawletKit/UserFile.hpp"
#include "platform/ConfigHome.hpp"
#include "platform/Log.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>

namespace Platform {

namespace {

// Copies made within one second get "-2", "-3"... up to this many names.
constexpr int maxCopiesPerSecond = 1000;

// The UTC time as it goes into a file name: no colons.
std::string stampNow()
{
    auto stamp = PawletKit::Date::now().iso8601();
    std::replace(stamp.begin(), stamp.end(), ':', '-');
    return stamp;
}

// Holds an exclusive lock on a file for its lifetime; closing the descriptor lets it go. Without the
// lock (a folder we cannot write) the change still goes ahead: it cannot be saved there either way.
class ExclusiveLock final {
public:
    explicit ExclusiveLock(std::filesystem::path const& path)
    {
        auto opened = PawletKit::RegularFile::open(path, O_RDWR | O_CREAT, 0600);
        if (!opened.file.isValid()) {
            Platform::Log::line("defaults: cannot open the lock " + path.string() + ": " + std::strerror(opened.error ? opened.error : EINVAL));
            return;
        }
        int result;
        do
            result = ::flock(opened.file.get(), LOCK_EX);
        while (result != 0 && errno == EINTR);
        if (result != 0) {
            Platform::Log::line("defaults: cannot lock " + path.string() + ": " + std::strerror(errno));
            return;
        }
        m_file = std::move(opened.file);
    }

private:
    PawletKit::FileDescriptor m_file;
};

bool sameTime(timespec const& a, timespec const& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}

bool FileDefaultsStore::Signature::operator==(Signature const& other) const
{
    return exists == other.exists && device == other.device && inode == other.inode && size == other.size
        && sameTime(modified, other.modified) && sameTime(changed, other.changed);
}

std::filesystem::path FileDefaultsStore::defaultFolder(PawletKit::Environment const& environment)
{
    return configHome(environment) / "Pupnik";
}

std::optional<std::filesystem::path> FileDefaultsStore::fileFor(std::filesystem::path const& folder, std::string_view suite)
{
    if (suite.empty() || suite.size() > 128 || suite.front() == '.')
        return std::nullopt;
    for (char c : suite) {
        bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!allowed)
            return std::nullopt;
    }
    return folder / (std::string(suite) + ".json");
}

std::unique_ptr<FileDefaultsStore> FileDefaultsStore::open(std::filesystem::path const& folder, std::string_view suite)
{
    auto file = fileFor(folder, suite);
    if (!file)
        return nullptr;
    std::unique_ptr<FileDefaultsStore> store(new FileDefaultsStore(*file));
    std::lock_guard lock(store->m_mutex);
    store->refresh();
    return store;
}

FileDefaultsStore::FileDefaultsStore(std::filesystem::path file)
    : m_file(std::move(file))
    , m_lockFile(m_file.parent_path() / ("." + m_file.filename().string() + ".lock"))
{
}

FileDefaultsStore::Signature FileDefaultsStore::currentSignature() const
{
    struct stat info { };
    if (::stat(m_file.c_str(), &info) != 0)
        return Signature {};
    return Signature { true, info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim };
}

void FileDefaultsStore::refresh() const
{
    // Taken before the read: a change between the two is then seen by the next refresh.
    Signature const current = currentSignature();
    if (m_signature && *m_signature == current)
        return;
    m_signature = current;
    load();
}

void FileDefaultsStore::load() const
{
    using Outcome = PawletKit::UserFile::Reading::Outcome;
    m_values.clear();
    m_keepAside = false;
    auto reading = PawletKit::UserFile::read(m_file, maxFileBytes);
    if (reading.outcome == Outcome::missing)
        return;
    if (reading.outcome == Outcome::read) {
        try {
            auto value = PawletKit::JSON::parse(reading.bytes);
            if (value.is_object()) {
                for (auto& [key, member] : value.items()) {
                    if (!member.is_null())
                        m_values.emplace(key, std::move(member));
                }
                return;
            }
        } catch (nlohmann::json::exception const&) {
        }
    }
    if (reading.outcome == Outcome::notRegular) {
        Log::line("defaults: " + m_file.string() + " is not a regular file; it reads as empty and nothing is saved over it");
        return;
    }
    m_keepAside = true;
    Log::line("defaults: " + m_file.string() + " is not a readable JSON object; it reads as empty and is kept aside before the first save over it");
}

void FileDefaultsStore::keepAside() const
{
    auto target = PawletKit::UserFile::resolve(m_file);
    struct stat info { };
    if (::lstat(target.c_str(), &info) != 0) {
        // Gone since it was read: nothing is left to keep.
        if (errno == ENOENT)
            return;
        throw std::system_error(errno, std::generic_category(), "stat " + target.string());
    }
    auto stamp = stampNow();
    for (int attempt = 1; attempt <= maxCopiesPerSecond; ++attempt) {
        auto copy = target;
        copy += ".unreadable-" + stamp + (attempt == 1 ? "" : "-" + std::to_string(attempt));
        struct stat taken { };
        if (::lstat(copy.c_str(), &taken) == 0 || errno != ENOENT)
            continue;
        PawletKit::AtomicFile::copy(target, copy, info.st_mode & 07777);
        Log::line("defaults: kept the unreadable " + m_file.string() + " as " + copy.string());
        return;
    }
    throw std::system_error(EEXIST, std::generic_category(), "no free name beside " + target.string());
}

std::optional<nlohmann::json> FileDefaultsStore::object(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    refresh();
    auto found = m_values.find(key);
    if (found == m_values.end())
        return std::nullopt;
    return found->second;
}

void FileDefaultsStore::set(std::string_view key, nlohmann::json value)
{
    change({ { std::string(key), std::move(value) } });
}

bool FileDefaultsStore::isStorable(std::string_view key, nlohmann::json const& value)
{
    // A value the file cannot hold (a NaN, text that is not UTF-8) would make every later save of
    // the whole suite fail; it is refused alone.
    if (PawletKit::JSON::serialize(nlohmann::json::array({ value })))
        return true;
    Log::line("defaults: " + std::string(key) + " not saved: the value cannot be written as JSON");
    return false;
}

void FileDefaultsStore::remove(std::string_view key)
{
    change({ { std::string(key), nullptr } });
}

void FileDefaultsStore::apply(Changes const& changes)
{
    change(changes);
}

void FileDefaultsStore::change(Changes const& changes)
{
    std::lock_guard lock(m_mutex);
    // The lock lives beside the file. Without the folder the change is still kept in memory; saving
    // it reports the failure.
    try {
        PawletKit::Paths::ensureDirectory(m_file.parent_path());
    } catch (std::system_error const&) {
    }
    // Another program may have changed the file since it was last read; its keys must survive.
    ExclusiveLock fileLock(m_lockFile);
    refresh();
    bool changed = false;
    for (auto const& [key, value] : changes) {
        auto found = m_values.find(key);
        if (value.is_null()) {
            if (found != m_values.end()) {
                m_values.erase(found);
                changed = true;
            }
        } else if (!isStorable(key, value)) {
            continue;
        } else if (found == m_values.end() || found->second != value) {
            m_values.insert_or_assign(key, value);
            changed = true;
        }
    }
    if (changed)
        persist();
}

void FileDefaultsStore::persist()
{
    nlohmann::json object = nlohmann::json::object();
    for (auto const& [key, value] : m_values)
        object[key] = value;
    auto bytes = PawletKit::JSON::serialize(object, true);
    if (!bytes) {
        Log::line("defaults: cannot encode " + m_file.string() + " (a value is not representable as JSON)");
        return;
    }
    try {
        // Nothing is written over the user's file before a copy of it is safe.
        if (m_keepAside) {
            keepAside();
            m_keepAside = false;
        }
        PawletKit::UserFile::write(m_file, *bytes + "\n", 0600);
        // Still under the lock: the file is the one just written, and need not be read back.
        m_signature = currentSignature();
    } catch (std::system_error const& error) {
        Log::line(std::string("defaults: cannot save ") + m_file.string() + ": " + error.what());
    }
}

}
