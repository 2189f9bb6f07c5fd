#include "shared/Gait.hpp"

namespace PawletShared {

std::string_view rawValue(Gait gait)
{
    switch (gait) {
    case Gait::sleep:
        return "sleep";
    case Gait::idle:
        return "idle";
    case Gait::stroll:
        return "stroll";
    case Gait::walk:
        return "walk";
    case Gait::run:
        return "run";
    }
    return "sleep";
}

std::optional<Gait> gaitFromRawValue(std::string_view text)
{
    for (Gait gait : allGaits)
        if (rawValue(gait) == text)
            return gait;
    return std::nullopt;
}

}
