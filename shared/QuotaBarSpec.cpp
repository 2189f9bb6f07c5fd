#include "shared/QuotaBarSpec.hpp"

#include "shared/CollarPalette.hpp"
#include "shared/DecodingError.hpp"

namespace PawletShared {

CollarColor QuotaBarSpec::color() const { return CollarPalette::color(source); }

PawletKit::JSON::Value QuotaBarSpec::jsonObject() const
{
    PawletKit::JSON::Value object { { "fraction", fraction }, { "source", source } };
    if (label)
        object["label"] = *label;
    return object;
}

QuotaBarSpec QuotaBarSpec::decode(PawletKit::JSON::Value const& object)
{
    if (!object.is_object())
        throw DecodingError("a quota bar is an object");
    auto source = object.find("source");
    if (source == object.end() || !source->is_string())
        throw DecodingError("source: a string is required");
    auto fraction = object.find("fraction");
    if (fraction == object.end() || !fraction->is_number())
        throw DecodingError("fraction: a number is required");
    QuotaBarSpec bar { source->get<std::string>(), fraction->get<double>(), std::nullopt };
    if (auto label = object.find("label"); label != object.end() && !label->is_null()) {
        if (!label->is_string())
            throw DecodingError("label: a string is required");
        bar.label = label->get<std::string>();
    }
    return bar;
}

}

size_t std::hash<PawletShared::QuotaBarSpec>::operator()(PawletShared::QuotaBarSpec const& bar) const noexcept
{
    size_t seed = std::hash<std::string> {}(bar.source);
    auto combine = [&seed](size_t part) { seed ^= part + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    // 0 and -0 compare equal, so both hash as 0.
    combine(std::hash<double> {}(bar.fraction == 0 ? 0.0 : bar.fraction));
    combine(bar.label ? 1 + std::hash<std::string> {}(*bar.label) : 0);
    return seed;
}
