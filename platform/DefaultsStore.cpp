#include "platform/DefaultsStore.hpp"

#include <cmath>
#include <limits>

namespace Platform {

bool DefaultsStore::stringBooleanValue(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    while (i < text.size() && text[i] == '0')
        ++i;
    if (i >= text.size())
        return false;
    char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::optional<bool> DefaultsStore::booleanValue(nlohmann::json const& value)
{
    if (value.is_boolean())
        return value.get<bool>();
    // Every whole number that is not negative is unsigned, and counts as an integer too: ask that first.
    if (value.is_number_unsigned())
        return value.get<uint64_t>() != 0;
    if (value.is_number_integer())
        return value.get<int64_t>() != 0;
    if (value.is_number_float())
        return value.get<double>() != 0;
    if (value.is_string())
        return stringBooleanValue(value.get_ref<std::string const&>());
    return std::nullopt;
}

void DefaultsStore::apply(Changes const& changes)
{
    for (auto const& [key, value] : changes) {
        if (value.is_null())
            remove(key);
        else
            set(key, value);
    }
}

std::optional<bool> DefaultsStore::boolean(std::string_view key) const
{
    auto value = object(key);
    return value ? booleanValue(*value) : std::nullopt;
}

std::optional<double> DefaultsStore::number(std::string_view key) const
{
    auto value = object(key);
    if (!value || !value->is_number())
        return std::nullopt;
    return value->get<double>();
}

std::optional<int64_t> DefaultsStore::integer(std::string_view key) const
{
    auto value = object(key);
    if (!value || !value->is_number())
        return std::nullopt;
    if (value->is_number_unsigned()) {
        auto unsignedValue = value->get<uint64_t>();
        return unsignedValue > uint64_t(std::numeric_limits<int64_t>::max()) ? std::numeric_limits<int64_t>::max()
                                                                             : int64_t(unsignedValue);
    }
    if (value->is_number_integer())
        return value->get<int64_t>();
    double real = value->get<double>();
    if (!std::isfinite(real))
        return std::nullopt;
    // Truncated toward zero and clamped, as an integer reading of a stored real.
    if (real >= 9.2233720368547758e18)
        return std::numeric_limits<int64_t>::max();
    if (real <= -9.2233720368547758e18)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(real);
}

std::optional<std::string> DefaultsStore::string(std::string_view key) const
{
    auto value = object(key);
    if (!value || !value->is_string())
        return std::nullopt;
    return value->get<std::string>();
}

}
