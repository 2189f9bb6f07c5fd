#pragma once

#include <optional>
#include <string>
#include <string_view>

// AppleScript texts that select the tab running on a terminal device. Linux never runs them; they are
// kept so that a plan reads the same everywhere.
namespace PupnikCore::TerminalScripts {

// Nothing unless the terminal name is valid; a valid name needs no quoting.
std::optional<std::string> terminal(std::string_view tty);
std::optional<std::string> iterm2(std::string_view tty);
// Terminal's script for exactly "com.apple.Terminal", iTerm2's for exactly "com.googlecode.iterm2".
std::optional<std::string> script(std::optional<std::string_view> bundleId, std::string_view tty);

}
