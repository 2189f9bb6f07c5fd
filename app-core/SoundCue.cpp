#include "app-core/SoundCue.hpp"

namespace PupnikCore::SoundCue {

std::optional<PetSound> sound(PawletKit::Mood previous, PawletKit::Mood mood, bool soundsOn)
{
    using PawletKit::Mood;
    if (!soundsOn || mood == previous)
        return std::nullopt;
    switch (mood) {
    case Mood::hungry:
        return PetSound::whimper;
    case Mood::poop:
        return PetSound::woof;
    case Mood::happy:
        // Glad only when the usage limit lifted.
        if (previous == Mood::hungry)
            return PetSound::yip;
        return std::nullopt;
    case Mood::normal:
        return std::nullopt;
    }
    return std::nullopt;
}

}
