#include "shared/StatusDot.hpp"

#include "shared/CollarPalette.hpp"
#include "shared/DecodingError.hpp"

namespace PawletShared {

CollarColor StatusDot::color() const { return CollarPalette::color(source); }

PawletKit::JSON::Value StatusDot::jsonObject() const { return { { "count", count }, { "source", source } }; }

StatusDot StatusDot::decode(PawletKit::JSON::Value const& object)
{
    if (!object.is_object())
        throw DecodingError("a status dot is an object");
    auto source = object.find("source");
    if (source == object.end() || !source->is_string())
        throw DecodingError("source: a string is required");
    auto count = object.find("count");
    if (count == object.end() || !count->is_number_integer())
        throw DecodingError("count: an integer is required");
    if (count->is_number_unsigned() && count->get<uint64_t>() > uint64_t(INT64_MAX))
        throw DecodingError("count: out of range");
    return StatusDot { source->get<std::string>(), count->get<int64_t>() };
}

}

size_t std::hash<PawletShared::StatusDot>::operator()(PawletShared::StatusDot const& dot) const noexcept
{
    size_t seed = std::hash<std::string> {}(dot.source);
    return seed ^ (std::hash<int64_t> {}(dot.count) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}
