#include "Pupnik/PopoverPlacement.hpp"

#include <gtest/gtest.h>

using namespace Pupnik;

TEST(PopoverPlacement, AboveTheAnchorElseBelowAlwaysOnScreen)
{
    QRect const screen(0, 0, 1280, 770);
    QSize const size(460, 300);
    struct Case {
        char const* name;
        QRect anchor;
        QRect screen;
        QPoint expected;
    } const cases[] = {
        { "room above: centred over the anchor", QRect(500, 600, 120, 96), screen, QPoint(330, 294) },
        { "exactly enough room above", QRect(500, 306, 120, 96), screen, QPoint(330, 0) },
        { "one point short above: below", QRect(500, 305, 120, 96), screen, QPoint(330, 407) },
        { "near the left edge", QRect(10, 600, 120, 96), screen, QPoint(0, 294) },
        { "near the right edge", QRect(1200, 600, 80, 96), screen, QPoint(820, 294) },
        { "second screen to the right", QRect(1800, 600, 120, 96), QRect(1280, 0, 1280, 770), QPoint(1630, 294) },
        // Fits on neither side: the side with more room, pushed back onto the screen.
        { "short screen, anchor high", QRect(500, 100, 120, 96), QRect(0, 0, 1280, 400), QPoint(330, 100) },
        { "short screen, anchor low", QRect(500, 250, 120, 96), QRect(0, 0, 1280, 400), QPoint(330, 0) },
        { "screen smaller than the popup", QRect(100, 100, 50, 50), QRect(0, 0, 300, 200), QPoint(0, 0) },
    };
    for (auto const& c : cases)
        EXPECT_EQ(PopoverPlacement::topLeft(c.anchor, size, c.screen, 6), c.expected) << c.name;
}
