#include "Pupnik/DisplayChoice.hpp"

namespace Pupnik {

namespace {

bool isSet(PawletKit::Environment const& environment, char const* name)
{
    auto found = environment.find(name);
    return found != environment.end() && !found->second.empty();
}

}

DisplayChoice chooseDisplay(PawletKit::Environment const& environment)
{
    if (isSet(environment, "QT_QPA_PLATFORM"))
        return DisplayChoice::userPlatform;
    // Qt would pick its Wayland platform by itself where WAYLAND_DISPLAY is set, and the pet could
    // neither place itself nor stay on top there.
    if (isSet(environment, "DISPLAY"))
        return DisplayChoice::x11;
    return DisplayChoice::none;
}

}
