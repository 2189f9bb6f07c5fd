#pragma once

#include "PawletKit/JSON.hpp"

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace PawletKit::SpoolSanitizer {

// Bounds a hook's input before it becomes an event's data: an allow-list of top-level members, content
// members removed at every level, strings cut, arrays removed, nesting limited.

constexpr size_t maxStringCharacters = 400;
constexpr size_t maxErrorCharacters = 80;
constexpr int maxDepth = 4;
constexpr size_t maxProcEntries = 8;
constexpr size_t maxProcNameCharacters = 64;
constexpr size_t maxProcTTYCharacters = 32;

std::set<std::string, std::less<>> const& allowedKeys();
std::set<std::string, std::less<>> const& droppedKeys();
std::set<std::string, std::less<>> const& errorEvents();

// Always an object, possibly empty; a non-object input gives an empty object.
JSON::Value sanitize(JSON::Value const& object, std::string_view event);
std::optional<JSON::Value> sanitizeValue(JSON::Value const& value, int depth);
std::optional<JSON::Value> sanitizeProc(JSON::Value const& value);

}
