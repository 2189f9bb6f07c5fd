#include "app-core/ApprovalClickGuard.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace PupnikCore;

TEST(ApprovalClickGuard, ElapsedTimeAgainstTheWindow)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    // Monotonic instants of a running system; 0.5 and 0.25 are exact in binary at this magnitude.
    constexpr double shown = 1024;
    struct Case {
        char const* name;
        double shownAt;
        double now;
        double window;
        bool expected;
    } const cases[] = {
        { "exactly the settle window", shown, shown + 0.5, 0.5, true },
        { "just short of it", shown, std::nextafter(shown + 0.5, 0.0), 0.5, false },
        { "0.49 s", shown, shown + 0.49, 0.5, false },
        { "0.499 s", shown, shown + 0.499, 0.5, false },
        { "long after", shown, shown + 30, 0.5, true },
        { "at once", shown, shown, 0.5, false },
        { "before it was shown", shown, shown - 1, 0.5, false },
        { "window 0, at once", shown, shown, 0, true },
        { "window 0, later", shown, shown + 0.25, 0, true },
        { "window 0, before it was shown", shown, shown - 0.25, 0, false },
        { "now not a number", shown, nan, 0.5, false },
        { "shown not a number", nan, shown, 0.5, false },
        { "now infinite", shown, inf, 0.5, false },
        { "shown infinitely long ago", -inf, shown, 0.5, false },
        { "window not a number", shown, shown + 30, nan, false },
        { "window infinite", shown, shown + 30, inf, false },
    };
    for (auto const& c : cases)
        EXPECT_EQ(ApprovalClickGuard::allows(c.shownAt, c.now, c.window), c.expected) << c.name;
}

TEST(ApprovalClickGuard, DefaultWindowIsHalfASecond)
{
    EXPECT_EQ(ApprovalClickGuard::settleWindow, 0.5);
    EXPECT_TRUE(ApprovalClickGuard::allows(10, 10.5));
    EXPECT_FALSE(ApprovalClickGuard::allows(10, 10.25));
}
