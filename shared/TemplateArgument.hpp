#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace PawletShared {

// One value handed to a text template: a string for "%@", a 64-bit integer for "%d"/"%lld", a
// 64-bit float for "%f".
using TemplateArgument = std::variant<std::string, std::int64_t, double>;

}
