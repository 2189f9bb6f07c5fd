#include "PawletKit/JSON.hpp"

#include "PawletKit/Date.hpp"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace PawletKit::JSON {

std::optional<size_t> firstBracketDeeperThan(std::string_view bytes, size_t limit)
{
    size_t depth = 0;
    bool inString = false;
    bool escaped = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return i;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return std::nullopt;
}

Value parse(std::string_view bytes)
{
    if (auto position = firstBracketDeeperThan(bytes, maxNestingDepth))
        throw Value::parse_error::create(101, *position + 1, "nesting deeper than " + std::to_string(maxNestingDepth) + " levels", nullptr);
    return Value::parse(bytes.begin(), bytes.end());
}

namespace {

bool isSerializable(Value const& value)
{
    switch (value.type()) {
    case Value::value_t::object:
        for (auto const& [key, element] : value.items()) {
            (void)key;
            if (!isSerializable(element))
                return false;
        }
        return true;
    case Value::value_t::array:
        for (auto const& element : value)
            if (!isSerializable(element))
                return false;
        return true;
    case Value::value_t::number_float:
        return std::isfinite(value.get<double>());
    case Value::value_t::discarded:
    case Value::value_t::binary:
        return false;
    default:
        return true;
    }
}

}

std::optional<std::string> serialize(Value const& value, bool pretty)
{
    if (!value.is_object() && !value.is_array())
        return std::nullopt;
    if (!isSerializable(value))
        return std::nullopt;
    try {
        return value.dump(pretty ? 2 : -1, ' ', false, Value::error_handler_t::strict);
    } catch (Value::exception const&) {
        return std::nullopt;
    }
}

Value const* member(Value const* object, std::string_view key)
{
    if (!object || !object->is_object())
        return nullptr;
    auto it = object->find(key);
    if (it == object->end() || it->is_null())
        return nullptr;
    return &*it;
}

namespace {

template<typename Path>
Value const* lookupPath(Value const* root, Path const& path)
{
    Value const* current = root;
    for (auto const& key : path) {
        if (!current || !current->is_object())
            return nullptr;
        auto it = current->find(std::string_view(key));
        if (it == current->end())
            return nullptr;
        current = &*it;
    }
    if (current && current->is_null())
        return nullptr;
    return current;
}

bool isHorizontalSpace(char c) { return c == ' ' || c == '\t'; }

std::optional<double> parseNumberText(std::string const& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isHorizontalSpace(text[begin]))
        ++begin;
    while (end > begin && isHorizontalSpace(text[end - 1]))
        --end;
    if (begin == end)
        return std::nullopt;
    std::string trimmed = text.substr(begin, end - begin);
    unsigned char first = static_cast<unsigned char>(trimmed.front());
    if (first <= ' ' || first == 0x7F)
        return std::nullopt;
    // strtod_l with the C locale so a user's decimal comma can never change what a file means.
    static locale_t const cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    char* stop = nullptr;
    double value = strtod_l(trimmed.c_str(), &stop, cLocale);
    if (stop == trimmed.c_str() || *stop != '\0')
        return std::nullopt;
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

}

Value const* lookup(Value const* root, std::initializer_list<std::string_view> path)
{
    return lookupPath(root, path);
}

Value const* lookup(Value const* root, std::vector<std::string> const& path)
{
    return lookupPath(root, path);
}

bool isBool(Value const* value)
{
    return value && value->is_boolean();
}

std::optional<double> toDouble(Value const* value)
{
    if (!value)
        return std::nullopt;
    if (value->is_number()) {
        double number = value->get<double>();
        if (!std::isfinite(number))
            return std::nullopt;
        return number;
    }
    if (value->is_string())
        return parseNumberText(value->get_ref<std::string const&>());
    return std::nullopt;
}

std::optional<int64_t> toInt(Value const* value)
{
    if (value && value->is_number_integer() && !value->is_number_unsigned())
        return value->get<int64_t>();
    if (value && value->is_number_unsigned()) {
        auto number = value->get<uint64_t>();
        return number > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) ? std::numeric_limits<int64_t>::max()
                                                                                   : static_cast<int64_t>(number);
    }
    auto number = toDouble(value);
    if (!number)
        return std::nullopt;
    if (*number >= 9223372036854775808.0)
        return std::numeric_limits<int64_t>::max();
    if (*number <= -9223372036854775808.0)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(std::trunc(*number));
}

std::string numberText(double value)
{
    if (std::trunc(value) == value && std::fabs(value) < 1e15)
        return std::to_string(static_cast<int64_t>(value));
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::optional<std::string> toString(Value const* value)
{
    if (!value)
        return std::nullopt;
    if (value->is_string())
        return value->get<std::string>();
    if (value->is_number_integer())
        return value->dump();
    if (value->is_number_float()) {
        double number = value->get<double>();
        if (!std::isfinite(number))
            return std::nullopt;
        return numberText(number);
    }
    return std::nullopt;
}

std::optional<double> timestamp(Value const* value)
{
    if (auto number = toDouble(value)) {
        if (*number <= 0)
            return std::nullopt;
        return *number > 1e12 ? *number / 1000 : *number;
    }
    if (value && value->is_string()) {
        if (auto date = Date::parseRFC3339(value->get_ref<std::string const&>()))
            return date->secondsSince1970;
    }
    return std::nullopt;
}

bool isEqual(Value const* a, Value const* b)
{
    if (!a || !b)
        return !a && !b;
    if (a->is_null() || b->is_null())
        return a->is_null() && b->is_null();
    if (a->is_object() && b->is_object()) {
        if (a->size() != b->size())
            return false;
        for (auto it = a->begin(); it != a->end(); ++it) {
            auto other = b->find(it.key());
            if (other == b->end() || !isEqual(&*it, &*other))
                return false;
        }
        return true;
    }
    if (a->is_array() && b->is_array()) {
        if (a->size() != b->size())
            return false;
        for (size_t i = 0; i < a->size(); ++i)
            if (!isEqual(&(*a)[i], &(*b)[i]))
                return false;
        return true;
    }
    if (a->is_string() && b->is_string())
        return a->get_ref<std::string const&>() == b->get_ref<std::string const&>();
    if (a->is_boolean() || b->is_boolean())
        return a->is_boolean() && b->is_boolean() && a->get<bool>() == b->get<bool>();
    if (a->is_number() && b->is_number()) {
        if (a->is_number_integer() && b->is_number_integer()) {
            if (a->is_number_unsigned() == b->is_number_unsigned())
                return *a == *b;
        }
        return a->get<double>() == b->get<double>();
    }
    return false;
}

}
