#pragma once

#include "PawletKit/Paths.hpp"

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace PawletKit {

// The agent tool's diagnostic log. Many agent tool processes append at once without a lock: each line
// goes out in one write on a descriptor opened for appending, so lines never interleave.
struct AgentLog {
    static constexpr int64_t defaultMaxBytes = 256 * 1024;

    std::filesystem::path url;
    // Past this size the next line starts the file over; nothing is kept.
    int64_t maxBytes { defaultMaxBytes };

    AgentLog(std::filesystem::path url, int64_t maxBytes)
        : url(std::move(url))
        , maxBytes(maxBytes)
    {
    }
    explicit AgentLog(Paths const& paths)
        : url(paths.agentLog())
    {
    }

    // "<ISO 8601 time> [<pid>] <message>\n". Never fails visibly: a line that cannot be written is dropped.
    void append(std::string_view message) const noexcept;
};

}
