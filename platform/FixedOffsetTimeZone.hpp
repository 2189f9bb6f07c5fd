#pragma once

#include "platform/TimeZone.hpp"

#include <algorithm>

namespace Platform {

// A zone that is always the same number of seconds ahead of UTC, without daylight saving; offsets
// are held to the +-18 hours that real zones stay within.
class FixedOffsetTimeZone final : public TimeZone {
public:
    explicit FixedOffsetTimeZone(int secondsAheadOfUTC = 0)
        : m_offset(std::clamp(secondsAheadOfUTC, -maxOffset, maxOffset))
    {
    }
    std::optional<CivilTime> civilTime(double secondsSince1970) const override;

    static constexpr int maxOffset = 18 * 3600;

private:
    int m_offset;
};

}
