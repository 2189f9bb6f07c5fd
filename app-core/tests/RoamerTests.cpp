#include "app-core/Roamer.hpp"

#include <gtest/gtest.h>

#include <limits>

using namespace PupnikCore;

TEST(CoreRoamer, StepsReflectAndClamp)
{
    double const nan = std::numeric_limits<double>::quiet_NaN();
    RoamBounds const screen { 0, 1000, 0, 800 };
    struct Case {
        std::string name;
        Roamer start;
        double dt, speed;
        RoamBounds bounds;
        Roamer end;
        bool turned;
    } const cases[] = {
        { "turns at the right end", { 880, 10, 100, 96, 1 }, 0.25, 140, screen, { 885, 10, 100, 96, -1 }, true },
        { "turns at the left end", { 5, 10, 100, 96, -1 }, 1, 15, screen, { 10, 10, 100, 96, 1 }, true },
        { "lands exactly on the left end", { 10, 10, 100, 96, -1 }, 1, 10, screen, { 0, 10, 100, 96, -1 }, false },
        { "facing 0 walks left", { 500, 10, 100, 96, 0 }, 1, 10, screen, { 490, 10, 100, 96, 0 }, false },
        { "too high comes down", { 500, 900, 100, 96, 1 }, 1, 10, screen, { 510, 704, 100, 96, 1 }, false },
        { "below the area comes up", { 500, -5, 100, 96, 1 }, 0, 10, screen, { 500, 0, 100, 96, 1 }, false },
        { "area narrower than the window", { 30, 10, 100, 96, 1 }, 1, 140, { 20, 80, 0, 800 }, { 20, 10, 100, 96, 1 }, false },
        { "area lower than the window", { 30, 50, 100, 96, 1 }, 0, 140, { 0, 1000, 0, 50 }, { 30, 0, 100, 96, 1 }, false },
        { "zero step clamps", { 1200, 10, 100, 96, 1 }, 0, 140, screen, { 900, 10, 100, 96, 1 }, false },
        { "speed not a number clamps", { -50, 10, 100, 96, 1 }, 1, nan, screen, { 0, 10, 100, 96, 1 }, false },
    };
    for (auto const& c : cases) {
        Roamer roamer = c.start;
        EXPECT_EQ(roamer.step(c.dt, c.speed, c.bounds), c.turned) << c.name;
        EXPECT_EQ(roamer, c.end) << c.name << ": x " << roamer.x << " y " << roamer.groundY << " facing " << roamer.facing;
    }

    Roamer high { 500, 900, 100, 96, 1 };
    high.clamp(screen);
    EXPECT_EQ(high.groundY, 704);
}

TEST(CoreRoamer, LongWalksStopAfterSixtyFourTurns)
{
    // 900 points of room: a walk of 900 × 65 + 1 would turn 65 times.
    Roamer roamer { 0, 10, 100, 96, 1 };
    EXPECT_FALSE(roamer.step(1, 900.0 * 65 + 1, { 0, 1000, 0, 800 }));
    EXPECT_EQ(roamer.x, 0);
    EXPECT_EQ(roamer.facing, 1);
    Roamer odd { 0, 10, 100, 96, 1 };
    EXPECT_TRUE(odd.step(1, 900.0 * 63 + 1, { 0, 1000, 0, 800 }));
    EXPECT_EQ(odd.x, 899);
}

TEST(CoreRoamer, MakeAndResize)
{
    EXPECT_EQ(Roamer::make(0, 0, 1, 1, 0).facing, 1);
    EXPECT_EQ(Roamer::make(0, 0, 1, 1, -3).facing, -1);

    Roamer roamer { 100, 40, 96, 96, 1 };
    roamer.resize(128, 128);
    EXPECT_EQ(roamer, (Roamer { 84, 40, 128, 128, 1 }));
    EXPECT_EQ(roamer.maxX({ 0, 1000, 0, 800 }), 872);
}
