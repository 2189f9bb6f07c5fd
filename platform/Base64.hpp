#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Platform::Base64 {

// Standard alphabet with "=" padding.
std::string encode(std::string_view bytes);
// Nothing for text that is not canonical padded Base64 (wrong length, foreign characters, stray bits).
std::optional<std::string> decode(std::string_view text);

}
