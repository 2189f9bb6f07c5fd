#pragma once

#include "app-core/Focus/TerminalApp.hpp"

#include "PawletKit/Environment.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The editors' command-line launchers: reopen a session's folder in the editor window that shows it.
namespace PupnikCore::EditorCLI {

// VS Code (also Insiders, VSCodium and Code - OSS, which share its jump) and Cursor; nothing for
// any other application.
std::vector<std::filesystem::path> candidatePaths(TerminalApp app, PawletKit::Environment const& environment);

// "--reuse-window" and the sanitised directory; nothing when the directory is refused.
std::optional<std::vector<std::string>> arguments(std::optional<std::string_view> cwd);

}
