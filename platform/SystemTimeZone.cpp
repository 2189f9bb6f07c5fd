#include "platform/SystemTimeZone.hpp"

#include "platform/CivilTimeConversion.hpp"

namespace Platform {

std::optional<CivilTime> SystemTimeZone::civilTime(double secondsSince1970) const
{
    auto seconds = CivilTimeConversion::wholeSeconds(secondsSince1970);
    if (!seconds)
        return std::nullopt;
    // localtime_r need not look at TZ again by itself.
    tzset();
    std::tm fields {};
    if (!localtime_r(&*seconds, &fields))
        return std::nullopt;
    return CivilTimeConversion::fromTm(fields);
}

}
