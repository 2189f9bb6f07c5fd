#include "shared/SpriteMath.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace PawletShared;

TEST(SpriteMath, FrameIndex)
{
    double const inf = std::numeric_limits<double>::infinity();
    double const nan = std::numeric_limits<double>::quiet_NaN();
    double const huge = std::numeric_limits<double>::max();
    int64_t const maxCount = std::numeric_limits<int64_t>::max();
    struct Case {
        int64_t count;
        double elapsed, fps, rate;
        int64_t index;
    } const cases[] = {
        { 10, 0.5, 24, 1, 2 },
        { 10, 0.5, 24, 0.5, 6 },
        { 10, 0.0, 24, 1, 0 },
        { 10, 1.0, 24, 1, 4 },
        { 10, -3, 24, 1, 0 },
        { 0, 0.5, 24, 1, 0 },
        { -4, 0.5, 24, 1, 0 },
        { 10, 0.5, 24, 0, 0 },
        { 10, 0.5, 0, 1, 0 },
        { 10, 0.5, -24, 1, 0 },
        { 1, 123.4, 24, 1, 0 },
        { 10, nan, 24, 1, 0 },
        { 10, inf, 24, 1, 0 },
        { 10, 0.5, nan, 1, 0 },
        { 10, 0.5, inf, 1, 0 },
        { 10, 0.5, 24, inf, 0 },
        // The product overflows to infinity: no undefined conversion, just the first frame.
        { 10, huge, huge, 1, 0 },
        { 10, 1e300, 1e300, 1e300, 0 },
        // Counts beyond what a double holds exactly still give a frame inside the clip.
        { maxCount, 0x1p63 - 1024, 1, 1, maxCount - 1023 },
        { int64_t(1) << 60, 0x1p60 - 0x1p8, 1, 1, (int64_t(1) << 60) - 256 },
    };
    for (auto const& c : cases) {
        int64_t index = SpriteMath::frameIndex(c.count, c.elapsed, c.fps, c.rate);
        EXPECT_EQ(index, c.index) << c.count << " " << c.elapsed << " " << c.fps << " " << c.rate;
        EXPECT_GE(index, 0);
        EXPECT_LT(index, std::max<int64_t>(c.count, 1));
    }
    for (double elapsed : { 1e30, 1e18, 9.3e18, 3.7e15 })
        EXPECT_LT(SpriteMath::frameIndex(maxCount, elapsed, 1, 1), maxCount) << elapsed;
    // Every frame of a clip shows once per pass.
    for (int64_t frame = 0; frame < 12; ++frame)
        EXPECT_EQ(SpriteMath::frameIndex(12, (frame + 0.5) / 24.0, 24, 1), frame);
}

TEST(SpriteMath, FileNameAndInterval)
{
    EXPECT_EQ(SpriteMath::fileName(5), "05.png");
    EXPECT_EQ(SpriteMath::fileName(0), "00.png");
    EXPECT_EQ(SpriteMath::fileName(7), "07.png");
    EXPECT_EQ(SpriteMath::fileName(100), "100.png");
    EXPECT_EQ(SpriteMath::fileName(123), "123.png");

    double const nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double fps, rate, cap, interval;
    } const cases[] = {
        { 24, 0.5, 0.1, 1.0 / 12 },
        { 24, 1, 0.01, 0.01 },
        { 0, 1, 0.1, 0.1 },
        { 24, 0, 0.1, 0.1 },
        { -24, 1, 0.1, 0.1 },
        { nan, 1, 0.1, 0.1 },
        { 24, nan, 0.1, 0.1 },
    };
    for (auto const& c : cases)
        EXPECT_DOUBLE_EQ(SpriteMath::interval(c.fps, c.rate, c.cap), c.interval) << c.fps << " " << c.rate;
}
