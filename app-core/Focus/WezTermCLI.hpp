#pragma once

#include "PawletKit/Environment.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// WezTerm's command-line tool: find the pane on a session's terminal and activate it.
namespace PupnikCore::WezTermCLI {

// Where the tool lives in a Homebrew or application-folder installation.
inline constexpr std::array<std::string_view, 3> fixedPaths {
    "/opt/homebrew/bin/wezterm",
    "/usr/local/bin/wezterm",
    "/Applications/WezTerm.app/Contents/MacOS/wezterm",
};

// PATH first, then the fixed paths, then the usual Linux places.
std::vector<std::filesystem::path> candidatePaths(PawletKit::Environment const& environment);

std::vector<std::string> listArguments();
std::vector<std::string> activateArguments(int64_t paneId);

// The id of the first pane whose "tty_name", with or without "/dev/" in front, is the terminal name.
// Nothing for an invalid name, a listing that is not an array of pane objects, or no such pane.
std::optional<int64_t> paneID(std::string_view listing, std::string_view tty);

}
