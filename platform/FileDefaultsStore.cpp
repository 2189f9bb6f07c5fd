#include "platform/FileDefaultsStore.hpp"

#include "PawletKit/JSON.hpp"
#include "PawletKit/Paths.hpp"
#include "PawletKit/RegularFile.hpp"
#include "platform/AtomicFile.hpp"
#include "platform/ConfigHome.hpp"
#include "platform/Log.hpp"

#include <system_error>

namespace Platform {

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
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(m_file, error)))
        return;
    auto contents = PawletKit::RegularFile::read(m_file, maxFileBytes);
    bool readable = false;
    if (contents) {
        try {
            auto value = PawletKit::JSON::parse(*contents);
            if (value.is_object()) {
                for (auto& [key, member] : value.items()) {
                    if (!member.is_null())
                        m_values.emplace(key, std::move(member));
                }
                readable = true;
            }
        } catch (nlohmann::json::exception const&) {
        }
    }
    if (!readable)
        Log::line("defaults: " + m_file.string() + " is not a readable JSON object; it reads as empty and is left as it is until a setting changes");
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
        AtomicFile::write(m_file, *bytes + "\n", 0600);
    } catch (std::system_error const& error) {
        Log::line(std::string("defaults: cannot save ") + m_file.string() + ": " + error.what());
    }
}

}
