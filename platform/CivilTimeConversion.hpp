#pragma once

#include "platform/CivilTime.hpp"

#include <ctime>
#include <optional>

namespace Platform::CivilTimeConversion {

// Whole seconds for the C library, or nothing when the instant is not finite or lies outside
// the years 1...9999 (where the C library's answers stop being meaningful).
std::optional<std::time_t> wholeSeconds(double secondsSince1970);
CivilTime fromTm(std::tm const& fields);

}
