#include "shared/StrictJSON.hpp"

#include "shared/DecodingError.hpp"

#include <cmath>
#include <limits>

namespace PawletShared::StrictJSON {

namespace {

[[noreturn]] void fail(std::string_view path, std::string_view key, std::string_view problem)
{
    throw DecodingError(join(path, key) + ": " + std::string(problem));
}

Value const& required(Value const& parent, std::string_view key, std::string_view path)
{
    if (!parent.is_object())
        fail(path, key, "parent is not an object");
    auto found = parent.find(key);
    if (found == parent.end() || found->is_null())
        fail(path, key, "missing");
    return *found;
}

}

std::string join(std::string_view path, std::string_view key)
{
    if (path.empty())
        return std::string(key);
    return std::string(path) + "." + std::string(key);
}

Value parseObject(std::string_view bytes)
{
    Value root;
    try {
        root = PawletKit::JSON::parse(bytes);
    } catch (Value::exception const& error) {
        throw DecodingError(std::string("not JSON: ") + error.what());
    }
    if (!root.is_object())
        throw DecodingError("the root is not an object");
    return root;
}

Value const& object(Value const& parent, std::string_view key, std::string_view path)
{
    Value const& value = required(parent, key, path);
    if (!value.is_object())
        fail(path, key, "not an object");
    return value;
}

Value const& array(Value const& parent, std::string_view key, std::string_view path)
{
    Value const& value = required(parent, key, path);
    if (!value.is_array())
        fail(path, key, "not an array");
    return value;
}

std::string string(Value const& parent, std::string_view key, std::string_view path)
{
    Value const& value = required(parent, key, path);
    if (!value.is_string())
        fail(path, key, "not a string");
    return value.get<std::string>();
}

double number(Value const& parent, std::string_view key, std::string_view path)
{
    Value const& value = required(parent, key, path);
    if (!value.is_number())
        fail(path, key, "not a number");
    double number = value.get<double>();
    if (!std::isfinite(number))
        fail(path, key, "not finite");
    return number;
}

int64_t integer(Value const& parent, std::string_view key, std::string_view path)
{
    Value const& value = required(parent, key, path);
    if (value.is_number_unsigned()) {
        uint64_t number = value.get<uint64_t>();
        if (number > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
            fail(path, key, "out of range");
        return static_cast<int64_t>(number);
    }
    if (value.is_number_integer())
        return value.get<int64_t>();
    if (value.is_number_float()) {
        double number = value.get<double>();
        // 2^63 is the first double past the range; everything below it converts exactly.
        constexpr double limit = 9223372036854775808.0;
        if (!std::isfinite(number) || std::trunc(number) != number)
            fail(path, key, "not an integer");
        if (number < -limit || number >= limit)
            fail(path, key, "out of range");
        return static_cast<int64_t>(number);
    }
    fail(path, key, "not an integer");
}

std::vector<std::string> strings(Value const& parent, std::string_view key, std::string_view path)
{
    Value const& list = array(parent, key, path);
    std::vector<std::string> result;
    result.reserve(list.size());
    for (Value const& element : list) {
        if (!element.is_string())
            fail(path, key, "holds a value that is not a string");
        result.push_back(element.get<std::string>());
    }
    return result;
}

}
