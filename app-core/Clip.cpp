#include "app-core/Clip.hpp"

namespace PupnikCore {

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
    case Clip::sick:
        return "sick";
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

std::string localizationKey(Clip clip)
{
    return "state." + std::string(rawValue(clip));
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
    case Clip::sick:
        return 0;
    }
    return 0;
}

}
