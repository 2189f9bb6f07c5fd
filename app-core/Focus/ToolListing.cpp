#include "app-core/Focus/ToolListing.hpp"

namespace PupnikCore::ToolListing {

namespace {

bool isBoundedObjectArray(PawletKit::JSON::Value const& value)
{
    if (!value.is_array() || value.size() > maxEntries)
        return false;
    for (auto const& element : value)
        if (!element.is_object())
            return false;
    return true;
}

}

std::optional<PawletKit::JSON::Value> parseObjectArray(std::string_view bytes)
{
    if (bytes.size() > maxBytes)
        return std::nullopt;
    try {
        auto value = PawletKit::JSON::parse(bytes);
        if (!isBoundedObjectArray(value))
            return std::nullopt;
        return value;
    } catch (std::exception const&) {
        return std::nullopt;
    }
}

PawletKit::JSON::Value const* objectArray(PawletKit::JSON::Value const* object, std::string_view key)
{
    auto const* value = PawletKit::JSON::member(object, key);
    if (!value || !isBoundedObjectArray(*value))
        return nullptr;
    return value;
}

std::optional<int64_t> identifier(PawletKit::JSON::Value const* object, std::string_view key)
{
    auto number = PawletKit::JSON::toInt(PawletKit::JSON::member(object, key));
    if (!number || *number < 0)
        return std::nullopt;
    return number;
}

}
