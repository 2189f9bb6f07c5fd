#pragma once

#include "PawletKit/JSON.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace PawletKit {

// A hook call's chain of parent processes, nearest first, as carried under "proc" in an event's data.
struct ProcInfo {
    static constexpr size_t maxEntries = 8;
    static constexpr size_t maxNameLength = 64;
    static constexpr size_t maxTTYLength = 32;

    std::vector<int32_t> pids;
    std::vector<std::string> names;
    std::optional<std::string> tty;

    ProcInfo() = default;
    // Keeps the first eight pids and names, cuts names to 64 characters, drops an invalid terminal name.
    ProcInfo(std::vector<int32_t> pids, std::vector<std::string> names, std::optional<std::string> tty);

    // Nothing unless the value is an object with at least one pid in 1...2147483647.
    static std::optional<ProcInfo> fromJSON(JSON::Value const* value);
    JSON::Value jsonObject() const;

    bool operator==(ProcInfo const&) const = default;
};

}
