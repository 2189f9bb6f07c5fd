#include "PawletKit/AgentConfig.hpp"

#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/Paths.hpp"
#include "PawletKit/RegularFile.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

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

    auto temporary = folder / (".config.json." + std::to_string(getpid()) + ".tmp");
    // A leftover of an earlier crash is ours to replace; O_EXCL then makes sure we write a fresh file
    // and never follow a link someone left at that name.
    if (::unlink(temporary.c_str()) != 0 && errno != ENOENT)
        throwErrno(errno, "unlink " + temporary.string());
    FileDescriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!file.isValid())
        throwErrno(errno, "open " + temporary.string());

    auto discardTemporary = [&](int error, std::string const& what) {
        file.reset();
        ::unlink(temporary.c_str());
        throwErrno(error, what);
    };
    if (!file.writeAll(*bytes))
        discardTemporary(errno, "write " + temporary.string());
    // The creation mode passes through the umask; the file must end up exactly 0600.
    if (::fchmod(file.get(), 0600) != 0)
        discardTemporary(errno, "chmod " + temporary.string());
    if (::fsync(file.get()) != 0)
        discardTemporary(errno, "fsync " + temporary.string());
    if (!file.reset())
        discardTemporary(errno, "close " + temporary.string());
    if (::rename(temporary.c_str(), url.c_str()) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        throwErrno(error, "rename " + temporary.string() + " to " + url.string());
    }
}

}
