#include "platform/FixedOffsetTimeZone.hpp"

#include "platform/CivilTimeConversion.hpp"

namespace Platform {

std::optional<CivilTime> FixedOffsetTimeZone::civilTime(double secondsSince1970) const
{
    auto seconds = CivilTimeConversion::wholeSeconds(secondsSince1970);
    if (!seconds)
        return std::nullopt;
    std::time_t shifted = *seconds + m_offset;
    std::tm fields {};
    if (!gmtime_r(&shifted, &fields))
        return std::nullopt;
    return CivilTimeConversion::fromTm(fields);
}

}
