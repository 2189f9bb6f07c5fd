#pragma once

#include "PawletKit/Date.hpp"
#include "PawletKit/JSON.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace PawletKit {

// The content of config.json: written by the application when it connects the agent tool, read by the
// agent tool whenever it runs as the status line.
struct AgentConfig {
    static constexpr int64_t currentVersion = 1;
    // Anything larger is not a file we wrote.
    static constexpr size_t maxFileBytes = 1 << 20;

    int64_t version { currentVersion };
    std::optional<std::string> forwardStatusLine;
    Date installedAt;
    // The user's whole status-line entry that ours displaced, so a disconnect can put back every
    // member of it, not only the command. Only the application reads it; absent unless an object.
    std::optional<JSON::Value> displacedStatusLine;

    AgentConfig() = default;
    AgentConfig(int64_t version, std::optional<std::string> forwardStatusLine, Date installedAt,
        std::optional<JSON::Value> displacedStatusLine = std::nullopt)
        : version(version)
        , forwardStatusLine(std::move(forwardStatusLine))
        , installedAt(installedAt)
        , displacedStatusLine(std::move(displacedStatusLine))
    {
    }

    // Nothing unless the value is an object; every field has a default.
    static std::optional<AgentConfig> fromJSON(JSON::Value const* value);
    JSON::Value jsonObject() const;

    // Nothing when the file is missing, unreadable, too large or not JSON.
    static std::optional<AgentConfig> load(std::filesystem::path const& url);
    // Writes ".config.json.<pid>.tmp" beside the target with mode 0600 and renames it over the target, so
    // readers see the old file or the new one. Throws std::system_error; a configuration that cannot be
    // encoded (text that is not UTF-8) throws EILSEQ and writes nothing.
    void save(std::filesystem::path const& url) const;

    bool operator==(AgentConfig const&) const = default;
};

}
