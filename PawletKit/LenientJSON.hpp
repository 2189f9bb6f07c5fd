#pragma once

#include "PawletKit/JSON.hpp"

#include <set>
#include <string>
#include <string_view>

namespace PawletKit::LenientJSON {

constexpr size_t maxValueCharacters = 400;

// The top-level string members the agent tool salvages from input that is not valid JSON.
std::set<std::string, std::less<>> const& defaultKeys();

// One pass over the bytes; collects top-level string members whose key is in the set. Never fails.
JSON::Value extractStrings(std::string_view bytes, std::set<std::string, std::less<>> const& keys);

}
