#pragma once

#include "PawletKit/JSON.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace PawletKit::ApprovalSummary {

// Turns one tool call that asks for permission into a short, bounded text a person can judge: a
// unified diff for file edits, the command or address for shell and web tools, the input's JSON for
// anything else. Character counts are grapheme clusters.

inline constexpr int64_t maxDiffLines = 40;
inline constexpr int64_t maxTextCharacters = 2000;
inline constexpr int64_t maxFallbackCharacters = 200;
inline constexpr int64_t maxSummaryCharacters = 20000;
inline constexpr int64_t maxFileBytes = 2097152;

struct Result {
    std::string target;
    std::string summary;
    bool truncated { false };
    int64_t truncatedLines { 0 };

    bool operator==(Result const&) const = default;
};

using FileReader = std::function<std::optional<std::string>(std::string const& path)>;

// The tool name is compared exactly; an input that is absent or not an object reads as an empty object.
Result summarize(std::string_view tool, JSON::Value const* input, FileReader const& readFile);

// The UTF-8 text of a regular file of at most maxFileBytes bytes, or nothing. The path comes from the
// coding agent's tool input: FIFOs, devices and folders give nothing without blocking, and no more
// than the cap plus one byte is ever read.
std::optional<std::string> readTargetFile(std::string const& path);

}
