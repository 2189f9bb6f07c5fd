#pragma once

#include "PawletKit/JSON.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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

    // "tty" followed by ASCII letters and digits, 4 to 32 characters; on Linux also "pts/N" and
    // "ttyN"-style device names with one slash. Checked before a name is ever used to find a terminal.
    static bool isValidTTYName(std::string_view name);

    bool operator==(ProcInfo const&) const = default;
};

}
