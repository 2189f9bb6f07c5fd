#pragma once

#include "PawletKit/JSON.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace PawletShared::StrictJSON {

// Readers for resource files that decode whole or not at all: a key that is missing, null or of
// another JSON type throws DecodingError naming the key's path ("states.run.frames").
using Value = PawletKit::JSON::Value;

// Parses bytes whose root must be an object; throws DecodingError for anything else.
Value parseObject(std::string_view bytes);

Value const& object(Value const& parent, std::string_view key, std::string_view path);
Value const& array(Value const& parent, std::string_view key, std::string_view path);
std::string string(Value const& parent, std::string_view key, std::string_view path);
// Any JSON number; only finite values come out.
double number(Value const& parent, std::string_view key, std::string_view path);
// A number without a fractional part that fits 64 bits (1e2 is 100, 1.5 fails).
int64_t integer(Value const& parent, std::string_view key, std::string_view path);
std::vector<std::string> strings(Value const& parent, std::string_view key, std::string_view path);

// "path.key", or the key alone at the top level.
std::string join(std::string_view path, std::string_view key);

}
