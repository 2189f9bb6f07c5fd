#include "shared/Clip.hpp"

namespace PawletShared {

std::string_view rawValue(Clip clip)
{
    switch (clip) {
    case Clip::run:
        return "run";
    case Clip::walk:
        return "walk";
    case Clip::stroll:
        return "stroll";
    case Clip::idle:
        return "idle";
    case Clip::hungry:
        return "hungry";
    case Clip::happy:
        return "happy";
    case Clip::poop:
        return "poop";
    }
    return "idle";
}

std::optional<Clip> clipFromRawValue(std::string_view text)
{
    for (Clip clip : allClips)
        if (rawValue(clip) == text)
            return clip;
    return std::nullopt;
}

double speed(Clip clip)
{
    switch (clip) {
    case Clip::run:
        return 140;
    case Clip::walk:
        return 45;
    case Clip::stroll:
        return 18;
    case Clip::idle:
    case Clip::hungry:
    case Clip::happy:
    case Clip::poop:
        return 0;
    }
    return 0;
}

Clip clipForGait(Gait gait)
{
    switch (gait) {
    case Gait::sleep:
    case Gait::idle:
        return Clip::idle;
    case Gait::stroll:
        return Clip::stroll;
    case Gait::walk:
        return Clip::walk;
    case Gait::run:
        return Clip::run;
    }
    return Clip::idle;
}

}
