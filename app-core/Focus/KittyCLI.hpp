#pragma once

#include "PawletKit/Environment.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// kitty's remote control: find the window that runs a session and focus it.
namespace PupnikCore::KittyCLI {

// kitten first wherever it is installed, kitty itself last.
inline constexpr std::array<std::string_view, 3> fixedKittenPaths {
    "/Applications/kitty.app/Contents/MacOS/kitten",
    "/opt/homebrew/bin/kitten",
    "/usr/local/bin/kitten",
};
inline constexpr std::array<std::string_view, 1> fixedKittyPaths {
    "/Applications/kitty.app/Contents/MacOS/kitty",
};

// kitten on PATH, in the fixed and the usual Linux places and in the installer's ~/.local/kitty.app/bin
// beside kitty; then kitty in the same places.
std::vector<std::filesystem::path> candidatePaths(PawletKit::Environment const& environment);

std::vector<std::string> listArguments();
std::vector<std::string> focusArguments(int64_t windowId);

// Over the OS windows' "tabs" and their "windows": the first window with one of the process ids (those
// above 0) among its "foreground_processes"; failing that, the one window whose "cwd" is the
// sanitised directory. Process ids of the listing are compared in 64 bits, so an id beyond 32 bits
// matches nothing.
std::optional<int64_t> windowID(std::string_view listing, std::span<int32_t const> pids, std::optional<std::string_view> cwd);

}
