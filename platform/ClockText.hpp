#pragma once

#include "platform/TimeZone.hpp"

#include <string>

namespace Platform::ClockText {

// Clock texts in the fixed, locale-free forms the menus use: a 24-hour clock with two-digit hours
// and minutes, and the month and day without leading zeros. An instant the zone cannot read
// gives dashes in place of the digits.

// "HH:mm", e.g. "07:05".
std::string hoursMinutes(double secondsSince1970, TimeZone const& zone);
// "M/d HH:mm", e.g. "3/9 07:05".
std::string monthDayHoursMinutes(double secondsSince1970, TimeZone const& zone);

}
