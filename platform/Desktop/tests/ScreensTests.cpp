#include "platform/Desktop/FakeScreens.hpp"
#include "platform/Desktop/QtScreens.hpp"
#include "platform/Desktop/X11WindowHints.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

using Platform::FakeScreens;
using Platform::ScreenRect;

namespace {

// A 1280 × 800 primary screen with a 30-point panel along its bottom, and a second screen to its
// right whose top is 200 points lower (in Qt's coordinates it starts at y 200).
FakeScreens twoScreens()
{
    return FakeScreens({
        { { 0, 0, 1280, 800 }, { 0, 30, 1280, 770 } },
        { { 1280, -400, 1024, 1000 }, { 1280, -400, 1024, 1000 } },
    });
}

}

TEST(Screens, ConvertsBetweenBottomLeftAndTopLeftAtThePrimaryScreensTop)
{
    FakeScreens screens = twoScreens();
    struct Case {
        ScreenRect bottomLeft;
        QRect topLeft;
    };
    Case const cases[] {
        // The pet on the panel's upper edge: its top is 96 + 30 above the screen's bottom.
        { { 100, 30, 130, 96 }, QRect(100, 674, 130, 96) },
        { { 0, 0, 1280, 800 }, QRect(0, 0, 1280, 800) },
        { { 1280, -400, 1024, 1000 }, QRect(1280, 200, 1024, 1000) },
        { { -50, 790, 20, 20 }, QRect(-50, -10, 20, 20) },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(screens.toTopLeft(c.bottomLeft), c.topLeft);
        EXPECT_EQ(screens.fromTopLeft(c.topLeft), c.bottomLeft);
    }
}

TEST(Screens, FakeTellsItsWatcherOfAChange)
{
    FakeScreens screens = twoScreens();
    int changes = 0;
    screens.setOnChange([&] { ++changes; });
    screens.change({ { { 0, 0, 800, 600 }, { 0, 0, 800, 600 } } });
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(screens.all().size(), 1u);
    // The flip line moved with the primary screen.
    EXPECT_EQ(screens.toTopLeft({ 0, 0, 10, 10 }), QRect(0, 590, 10, 10));
}

TEST(QtScreens, ReportsThePrimaryScreenFirstWithItsFrameAtTheOrigin)
{
    Platform::QtScreens screens;
    auto all = screens.all();
    ASSERT_FALSE(all.empty());
    QScreen* primary = QGuiApplication::primaryScreen();
    ASSERT_NE(primary, nullptr);
    EXPECT_EQ(screens.toTopLeft(all.front().frame), primary->geometry());
    EXPECT_EQ(screens.toTopLeft(all.front().visibleFrame), primary->availableGeometry());
    EXPECT_EQ(all.front().frame.y, 0);
    EXPECT_EQ(screens.main(), all.front());
}

TEST(X11WindowHints, AnswerUnsupportedWithoutAnX11Display)
{
    // The display test of the pet window covers an X11 session.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return;
    QWidget window;
    window.winId();
    EXPECT_EQ(Platform::X11WindowHints::showOnAllDesktopsUnlisted(window.windowHandle()), Platform::X11WindowHints::Outcome::unsupported);
    EXPECT_EQ(Platform::X11WindowHints::setKeptAbove(window.windowHandle(), false), Platform::X11WindowHints::Outcome::unsupported);
    EXPECT_TRUE(Platform::X11WindowHints::states(window.windowHandle()).empty());
    EXPECT_EQ(Platform::X11WindowHints::showOnAllDesktopsUnlisted(nullptr), Platform::X11WindowHints::Outcome::unsupported);
}
