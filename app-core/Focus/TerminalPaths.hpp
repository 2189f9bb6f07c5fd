#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Every working directory passes here before it reaches a script, a command line or a comparison, so
// what comes out can be used without quoting.
namespace PupnikCore::TerminalPaths {

inline constexpr size_t maxCharacters = 1024;

// Trimmed, absolute, without NUL or line feed, at most 1024 characters, trailing slashes removed
// ("/" stays "/"); nothing otherwise.
std::optional<std::string> sanitizeCwd(std::optional<std::string_view> cwd);
// The last component of the sanitised path; nothing for "/" or a refused path.
std::optional<std::string> basename(std::optional<std::string_view> cwd);
// A window's document as reported, a plain path or a "file://" URL, as a sanitised directory path.
std::optional<std::string> documentPath(std::optional<std::string_view> document);

}
