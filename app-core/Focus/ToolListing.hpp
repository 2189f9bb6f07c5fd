#pragma once

#include "PawletKit/JSON.hpp"

#include <cstddef>
#include <optional>
#include <string_view>

// Reading the JSON that terminal tools print. Their answers come from outside: anything too large,
// too deep or of the wrong shape reads as no answer.
namespace PupnikCore::ToolListing {

// Far above what a desktop's worth of panes and windows prints, environment blocks included.
inline constexpr size_t maxBytes = 4 * 1024 * 1024;
inline constexpr size_t maxEntries = 4096;

// The listing when it parses and its top level is an array of at most maxEntries objects.
std::optional<PawletKit::JSON::Value> parseObjectArray(std::string_view bytes);

// The member under the key when it is an array of at most maxEntries objects; else nothing, also for
// an array with anything but objects in it.
PawletKit::JSON::Value const* objectArray(PawletKit::JSON::Value const* object, std::string_view key);

// An id read leniently; negative ids name nothing and read as absent.
std::optional<int64_t> identifier(PawletKit::JSON::Value const* object, std::string_view key);

}
