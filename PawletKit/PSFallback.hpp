#pragma once

#include "PawletKit/ProcessSample.hpp"
#include "PawletKit/ProcessSampler.hpp"

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

namespace PawletKit::PSFallback {

// Samples through the ps program when /proc cannot be listed. CPU figures are taken as ps prints them.

struct Limits {
    std::filesystem::path program { "/bin/ps" };
    // The caller's thread waits at most this long; a slower ps is killed and its complete lines used.
    double timeoutSeconds { 1 };
    size_t maxOutputBytes { 4 * 1024 * 1024 };
};

// Runs `ps -eo pid=,pcpu=,comm=` and parses what it printed; nothing when it cannot be started.
std::vector<ProcessSample> sampleWithPS(ProcessNames const& names, Limits const& limits = {});

// Lines of pid, CPU percentage and command (a name or a path: its last component is the name).
std::vector<ProcessSample> parsePS(std::string_view text, ProcessNames const& names);

}
