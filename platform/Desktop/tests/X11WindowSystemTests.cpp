#include "platform/Desktop/X11WindowSystem.hpp"

#include <gtest/gtest.h>

using namespace Platform;

// A Wayland session without XWayland, or no desktop at all: every question has an empty answer and
// every request is unsupported, without a crash.
TEST(X11WindowSystem, WithoutADisplayEverythingIsUnsupported)
{
    X11WindowSystem windows([] { return 1234u; }, std::string(":65000"));
    EXPECT_FALSE(windows.isSupported());
    EXPECT_TRUE(windows.windows().empty());
    EXPECT_EQ(windows.activeWindow(), std::nullopt);
    EXPECT_EQ(windows.title(42), std::nullopt);
    EXPECT_EQ(windows.activate(42), WindowSystem::Request::unsupported);
    EXPECT_EQ(windows.raiseAndFocus(42), WindowSystem::Request::unsupported);
    // A request made on the user's behalf carries the time of their last input.
    EXPECT_EQ(windows.requestTime(), 1234u);
}
