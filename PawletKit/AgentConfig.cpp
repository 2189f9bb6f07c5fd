#include "PawletKit/AgentConfig.hpp"

#include "PawletKit/AtomicFile.hpp"
#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/Paths.hpp"
#include "PawletKit/RegularFile.hpp"

#include <cerrno>
#include <system_error>

namespace PawletKit {

namespace {

[[noreturn]] void throwErrno(int error, std::string const& what)
{
    throw std::system_error(error, std::generic_category(), what);
}

}

std::optional<AgentConfig> AgentConfig::fromJSON(JSON::Value const* value)
{
    if (!value || !value->is_object())
        return std::nullopt;
    AgentConfig config;
    config.version = JSON::toInt(JSON::member(value, "version")).value_or(currentVersion);
    if (auto command = JSON::toString(JSON::member(value, "forwardStatusLine"))) {
        auto trimmed = CharacterSets::trimmingWhitespaceAndNewlines(*command);
        if (!trimmed.empty())
            config.forwardStatusLine = std::string(trimmed);
    }
    if (auto const* installedAt = JSON::member(value, "installedAt"); installedAt && installedAt->is_string()) {
        if (auto seconds = JSON::timestamp(installedAt))
            config.installedAt = Date::fromSeconds(*seconds);
    }
    if (auto const* entry = JSON::member(value, "displacedStatusLine"); entry && entry->is_object())
        config.displacedStatusLine = *entry;
    return config;
}

JSON::Value AgentConfig::jsonObject() const
{
    JSON::Value object = JSON::Value::object();
    object["version"] = version;
    object["forwardStatusLine"] = forwardStatusLine ? JSON::Value(*forwardStatusLine) : JSON::Value(nullptr);
    object["installedAt"] = installedAt.iso8601();
    if (displacedStatusLine)
        object["displacedStatusLine"] = *displacedStatusLine;
    return object;
}

std::optional<AgentConfig> AgentConfig::load(std::filesystem::path const& url)
{
    auto contents = RegularFile::read(url, maxFileBytes);
    if (!contents)
        return std::nullopt;
    try {
        JSON::Value value = JSON::parse(*contents);
        return fromJSON(&value);
    } catch (JSON::Value::exception const&) {
        return std::nullopt;
    }
}

void AgentConfig::save(std::filesystem::path const& url) const
{
    auto folder = url.parent_path();
    if (folder.empty())
        folder = ".";
    Paths::ensureDirectory(folder);

    auto bytes = JSON::serialize(jsonObject(), true);
    if (!bytes)
        throwErrno(EILSEQ, "config.json: not representable as JSON");

    AtomicFile::write(url, *bytes, 0600);
}

}
