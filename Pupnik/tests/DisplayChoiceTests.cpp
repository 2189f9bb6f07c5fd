#include "Pupnik/DisplayChoice.hpp"

#include <gtest/gtest.h>

using Pupnik::DisplayChoice;

TEST(DisplayChoice, AsksForX11UnlessTheUserNamedAPlatform)
{
    struct Case {
        char const* name;
        PawletKit::Environment environment;
        DisplayChoice choice;
    };
    for (auto const& [name, environment, choice] : {
             Case { "X11 session", { { "DISPLAY", ":0" } }, DisplayChoice::x11 },
             Case { "Wayland with XWayland", { { "WAYLAND_DISPLAY", "wayland-0" }, { "XDG_SESSION_TYPE", "wayland" }, { "DISPLAY", ":1" } }, DisplayChoice::x11 },
             Case { "Wayland without XWayland", { { "WAYLAND_DISPLAY", "wayland-0" }, { "XDG_SESSION_TYPE", "wayland" } }, DisplayChoice::none },
             Case { "the user's platform", { { "WAYLAND_DISPLAY", "wayland-0" }, { "QT_QPA_PLATFORM", "wayland" } }, DisplayChoice::userPlatform },
             Case { "offscreen without any display", { { "QT_QPA_PLATFORM", "offscreen" } }, DisplayChoice::userPlatform },
             Case { "nothing", {}, DisplayChoice::none },
             Case { "empty values", { { "DISPLAY", "" }, { "QT_QPA_PLATFORM", "" } }, DisplayChoice::none },
         }) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Pupnik::chooseDisplay(environment), choice);
    }
}
