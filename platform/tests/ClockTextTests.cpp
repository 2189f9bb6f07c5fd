#include "platform/ClockText.hpp"
#include "platform/FixedOffsetTimeZone.hpp"
#include "platform/SystemTimeZone.hpp"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>

using namespace Platform;

namespace {

// 2026-03-09 07:05:30 UTC.
constexpr double morning = 1'773'039'930;

}

TEST(ClockText, FormsInAFixedZone)
{
    struct Case {
        double instant;
        int offset;
        std::string hoursMinutes;
        std::string monthDay;
    } const cases[] = {
        { morning, 0, "07:05", "3/9 07:05" },
        { morning + 0.999, 0, "07:05", "3/9 07:05" },
        { morning, 5 * 3600 + 1800, "12:35", "3/9 12:35" },
        // Across midnight and a month's end, both ways.
        { morning, -8 * 3600, "23:05", "3/8 23:05" },
        { 1'772'323'200 - 60, 0, "23:59", "2/28 23:59" },
        { 1'772'323'200, 0, "00:00", "3/1 00:00" },
        { 1'798'761'599, 0, "23:59", "12/31 23:59" },
        // Before 1970 the fraction still counts towards the past.
        { -0.5, 0, "23:59", "12/31 23:59" },
        { 0, 0, "00:00", "1/1 00:00" },
    };
    for (auto const& c : cases) {
        FixedOffsetTimeZone zone(c.offset);
        EXPECT_EQ(ClockText::hoursMinutes(c.instant, zone), c.hoursMinutes) << c.instant << " " << c.offset;
        EXPECT_EQ(ClockText::monthDayHoursMinutes(c.instant, zone), c.monthDay) << c.instant << " " << c.offset;
    }
}

TEST(ClockText, InstantsNoZoneCanReadGiveDashes)
{
    FixedOffsetTimeZone zone(0);
    SystemTimeZone system;
    for (double instant : { std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), 1e300, -1e300, 1e15 }) {
        EXPECT_EQ(ClockText::hoursMinutes(instant, zone), "--:--") << instant;
        EXPECT_EQ(ClockText::monthDayHoursMinutes(instant, zone), "-/- --:--") << instant;
        EXPECT_EQ(system.civilTime(instant), std::nullopt) << instant;
    }
}

TEST(ClockText, FixedOffsetsStayWithinRealZones)
{
    EXPECT_EQ(ClockText::hoursMinutes(0, FixedOffsetTimeZone(1'000'000'000)), "18:00");
    EXPECT_EQ(ClockText::hoursMinutes(0, FixedOffsetTimeZone(-1'000'000'000)), "06:00");
}

TEST(ClockText, SystemZoneFollowsTZ)
{
    char const* previous = std::getenv("TZ");
    std::optional<std::string> saved = previous ? std::optional<std::string>(previous) : std::nullopt;
    // POSIX zone rules need no zone database.
    setenv("TZ", "XST-5:30", 1);
    EXPECT_EQ(ClockText::monthDayHoursMinutes(morning, SystemTimeZone()), "3/9 12:35");
    setenv("TZ", "YST8", 1);
    EXPECT_EQ(ClockText::monthDayHoursMinutes(morning, SystemTimeZone()), "3/8 23:05");
    if (saved)
        setenv("TZ", saved->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
