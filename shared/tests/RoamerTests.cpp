#include "shared/Roamer.hpp"

#include <gtest/gtest.h>

#include <limits>

using namespace PawletShared;

TEST(SharedRoamer, StepsReflectAndClamp)
{
    double const nan = std::numeric_limits<double>::quiet_NaN();
    double const inf = std::numeric_limits<double>::infinity();
    RoamBounds const band { 0, 100 };
    struct Case {
        std::string name;
        Roamer start;
        double dt, speed;
        RoamBounds bounds;
        Roamer end;
        bool turned;
    } const cases[] = {
        { "turns at the right end", { 70, 20, 1 }, 1, 30, band, { 60, 20, -1 }, true },
        { "lands exactly on the left end", { 10, 20, -1 }, 0.5, 20, band, { 0, 20, -1 }, false },
        { "lands exactly on the right end", { 70, 20, 1 }, 1, 10, band, { 80, 20, 1 }, false },
        { "plain walk right", { 10, 20, 1 }, 1, 5, band, { 15, 20, 1 }, false },
        { "facing 0 walks left", { 50, 20, 0 }, 1, 5, band, { 45, 20, 0 }, false },
        { "facing 0 turns to +1 at the left end", { 5, 20, 0 }, 1, 10, band, { 5, 20, 1 }, true },
        { "two turns face the old way", { 70, 20, 1 }, 1, 10 + 80 + 5, band, { 5, 20, 1 }, false },
        { "zero step still clamps", { 150, 20, 1 }, 0, 30, band, { 80, 20, 1 }, false },
        { "clamps from the left", { -40, 20, -1 }, 0, 30, band, { 0, 20, -1 }, false },
        { "band narrower than the pet", { 12, 40, 1 }, 1, 30, { 0, 30 }, { 0, 40, 1 }, false },
        { "negative step", { 50, 20, 1 }, -1, 30, band, { 50, 20, 1 }, false },
        { "speed not a number", { 50, 20, 1 }, 1, nan, band, { 50, 20, 1 }, false },
        { "infinite speed", { 50, 20, 1 }, 1, inf, band, { 50, 20, 1 }, false },
        { "infinite step", { 50, 20, 1 }, inf, 30, band, { 50, 20, 1 }, false },
        { "zero speed", { 150, 20, 1 }, 1, 0, band, { 80, 20, 1 }, false },
    };
    for (auto const& c : cases) {
        Roamer roamer = c.start;
        EXPECT_EQ(roamer.step(c.dt, c.speed, c.bounds), c.turned) << c.name;
        EXPECT_EQ(roamer, c.end) << c.name << ": x " << roamer.x << " facing " << roamer.facing;
    }
}

TEST(SharedRoamer, LongWalksStopAfterSixtyFourTurns)
{
    // 80 points of room each way: a walk of 80 × 100 would turn 100 times.
    for (int64_t facing : { 1, -1 }) {
        Roamer roamer { 40, 20, facing };
        EXPECT_FALSE(roamer.step(1, 80.0 * 100, { 0, 100 }));
        // An even number of turns leaves the old direction, at the end it last walked away from.
        EXPECT_EQ(roamer.facing, facing);
        EXPECT_EQ(roamer.x, facing > 0 ? 0 : 80);
    }
    Roamer overflowing { 40, 20, 1 };
    overflowing.step(1e200, 1e200, { 0, 100 });
    EXPECT_TRUE(overflowing.x == 0 || overflowing.x == 80);
}

TEST(SharedRoamer, MakeAndResize)
{
    EXPECT_EQ(Roamer::make(1, 2, 0).facing, 1);
    EXPECT_EQ(Roamer::make(1, 2, -7).facing, -1);
    EXPECT_EQ(Roamer::make(1, 2, 5).facing, 1);

    Roamer roamer { 10, 20, 1 };
    roamer.setWidth(30);
    EXPECT_EQ(roamer, (Roamer { 5, 30, 1 }));
    // Resizing does not clamp.
    roamer.setWidth(200);
    EXPECT_EQ(roamer.x, -80);
    EXPECT_EQ(roamer.maxX({ 0, 100 }), 0);
    EXPECT_EQ((Roamer { 0, 20, 1 }).maxX({ 0, 100 }), 80);
}
