#include "platform/CivilTimeConversion.hpp"

#include <cmath>

namespace Platform::CivilTimeConversion {

std::optional<std::time_t> wholeSeconds(double secondsSince1970)
{
    // 0001-01-02 and 9999-12-30 UTC: a day of margin keeps every zone's reading inside the range.
    constexpr double earliest = -62'135'510'400.0;
    constexpr double latest = 253'402'128'000.0;
    if (!std::isfinite(secondsSince1970) || secondsSince1970 < earliest || secondsSince1970 > latest)
        return std::nullopt;
    return std::time_t(std::floor(secondsSince1970));
}

CivilTime fromTm(std::tm const& fields)
{
    return CivilTime { fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec };
}

}
