#pragma once

#include "platform/CivilTime.hpp"

#include <optional>

namespace Platform {

// Turns instants into wall-clock readings; tests fix the zone with FixedOffsetTimeZone.
class TimeZone {
public:
    virtual ~TimeZone() = default;
    // The reading at an instant (seconds since 1970, fractions dropped towards the past); nothing
    // for an instant that is not finite or lies outside the years 1...9999.
    virtual std::optional<CivilTime> civilTime(double secondsSince1970) const = 0;
};

}
