#pragma once

#include "PawletKit/Date.hpp"
#include "PawletKit/SessionSource.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace PawletKit {

// A waiting agent session and what the application needs to find its window.
struct SessionTarget {
    std::string sid;
    SessionSource source { SessionSource::claude };
    // The hook's parent-process chain, nearest first, and the program names of those processes.
    std::vector<int32_t> pids;
    std::vector<std::string> names;
    std::optional<std::string> tty;
    std::optional<std::string> cwd;
    Date since;

    bool operator==(SessionTarget const&) const = default;
};

}
