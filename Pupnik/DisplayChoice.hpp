#pragma once

#include "PawletKit/Environment.hpp"

namespace Pupnik {

// Which of Qt's platforms the pet's window asks for. It needs X11: on a Wayland session that means
// XWayland, whose display is in DISPLAY; a platform the user named is taken as it is.
enum class DisplayChoice {
    userPlatform,
    x11,
    none,
};

DisplayChoice chooseDisplay(PawletKit::Environment const& environment);

}
