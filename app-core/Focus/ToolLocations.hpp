#pragma once

#include "PawletKit/Environment.hpp"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// Where the terminals' and editors' command-line tools may be installed. Nothing here looks at the
// file system: the jumper takes the first candidate that is an executable file.
namespace PupnikCore::ToolLocations {

inline constexpr size_t maxSearchDirectories = 64;
inline constexpr size_t maxDirectoryBytes = 4096;

// The absolute directories of PATH, in order, at most 64; relative and empty entries would make the
// program depend on the current directory and are left out.
std::vector<std::filesystem::path> searchDirectories(PawletKit::Environment const& environment);
// HOME when it is absolute.
std::optional<std::filesystem::path> homeDirectory(PawletKit::Environment const& environment);

// The program in every PATH directory, then the given fixed paths, then the program in /usr/bin,
// /usr/local/bin, ~/.local/bin and /snap/bin, then the paths given last; each path once.
std::vector<std::filesystem::path> candidates(std::string_view program, PawletKit::Environment const& environment,
    std::span<std::string_view const> first, std::span<std::filesystem::path const> last);

// Appends the paths not yet in the list.
void appendUnique(std::vector<std::filesystem::path>& list, std::span<std::filesystem::path const> paths);

}
