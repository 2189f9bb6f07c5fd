#include "platform/FileDefaultsStore.hpp"

#include "PawletKit/Date.hpp"
#include "PawletKit/JSON.hpp"
#include "PawletKit/Paths.hpp"
#include "platform/AtomicFile.hpp"
#include "platform/ConfigHome.hpp"
#include "platform/Log.hpp"
#include "platform/UserFile.hpp"

#include <algorithm>
#include <cerrno>
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
    store->load();
    return store;
}

FileDefaultsStore::FileDefaultsStore(std::filesystem::path file)
    : m_file(std::move(file))
{
}

void FileDefaultsStore::load()
{
    using Outcome = UserFile::Reading::Outcome;
    auto reading = UserFile::read(m_file, maxFileBytes);
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
    auto target = UserFile::resolve(m_file);
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
        AtomicFile::copy(target, copy, info.st_mode & 07777);
        Log::line("defaults: kept the unreadable " + m_file.string() + " as " + copy.string());
        return;
    }
    throw std::system_error(EEXIST, std::generic_category(), "no free name beside " + target.string());
}

std::optional<nlohmann::json> FileDefaultsStore::object(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    auto found = m_values.find(key);
    if (found == m_values.end())
        return std::nullopt;
    return found->second;
}

void FileDefaultsStore::set(std::string_view key, nlohmann::json value)
{
    if (value.is_null()) {
        remove(key);
        return;
    }
    if (!isStorable(key, value))
        return;
    std::lock_guard lock(m_mutex);
    auto found = m_values.find(key);
    if (found != m_values.end() && found->second == value)
        return;
    m_values.insert_or_assign(std::string(key), std::move(value));
    persist();
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
    std::lock_guard lock(m_mutex);
    auto found = m_values.find(key);
    if (found == m_values.end())
        return;
    m_values.erase(found);
    persist();
}

void FileDefaultsStore::apply(Changes const& changes)
{
    std::lock_guard lock(m_mutex);
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
        PawletKit::Paths::ensureDirectory(m_file.parent_path());
        // Nothing is written over the user's file before a copy of it is safe.
        if (m_keepAside) {
            keepAside();
            m_keepAside = false;
        }
        UserFile::write(m_file, *bytes + "\n", 0600);
    } catch (std::system_error const& error) {
        Log::line(std::string("defaults: cannot save ") + m_file.string() + ": " + error.what());
    }
}

}
