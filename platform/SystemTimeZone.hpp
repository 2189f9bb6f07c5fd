#pragma once

#include "platform/TimeZone.hpp"

namespace Platform {

// The user's zone as the C library knows it (TZ, /etc/localtime), read at each call.
class SystemTimeZone final : public TimeZone {
public:
    std::optional<CivilTime> civilTime(double secondsSince1970) const override;
};

}
