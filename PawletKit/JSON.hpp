#pragma once

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PawletKit::JSON {

// Lenient helpers over loosely typed JSON values. An absent value is a null pointer; a JSON null is a
// value that every getter reads as absent. Booleans never read as numbers or strings.

using Value = nlohmann::json;
using Object = nlohmann::json; // always holds an object where the name is used

// Deeper documents are refused: copying, comparing or writing a value recurses once per level.
constexpr size_t maxNestingDepth = 512;

// Where the first bracket past the given nesting depth stands; brackets inside strings don't count.
// A cheap look at bytes before anything recursive is done with them.
std::optional<size_t> firstBracketDeeperThan(std::string_view bytes, size_t limit);

// Bytes to a value; bare strings, numbers, Booleans and null are allowed. Throws nlohmann::json::exception,
// also for a document nested deeper than maxNestingDepth.
Value parse(std::string_view bytes);
// Nothing unless the root is an object or an array, every number is finite and every string is UTF-8.
// Keys come out sorted, slashes unescaped.
std::optional<std::string> serialize(Value const& value, bool pretty = false);

Value const* lookup(Value const* root, std::initializer_list<std::string_view> path);
Value const* lookup(Value const* root, std::vector<std::string> const& path);
// The member under the key when the value is an object; null members read as absent.
Value const* member(Value const* object, std::string_view key);

std::optional<double> toDouble(Value const* value);
std::optional<int64_t> toInt(Value const* value);
std::optional<std::string> toString(Value const* value);
std::optional<double> timestamp(Value const* value);

bool isBool(Value const* value);
bool isEqual(Value const* a, Value const* b);

// The shortest decimal text that reads back as the same double ("42" for 42.0).
std::string numberText(double value);

}
