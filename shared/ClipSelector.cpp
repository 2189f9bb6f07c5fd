#include "shared/ClipSelector.hpp"

namespace PawletShared::ClipSelector {

ClipChoice choice(Gait gait, Mood mood)
{
    switch (mood) {
    case Mood::hungry:
        return { Clip::hungry, 1.0 };
    case Mood::happy:
        return { Clip::happy, 1.0 };
    case Mood::poop:
        return { Clip::poop, 1.0 };
    case Mood::normal:
        break;
    }
    return { clipForGait(gait), gait == Gait::sleep ? 0.5 : 1.0 };
}

ClipChoice choice(PetSnapshot const& snapshot)
{
    return choice(snapshot.gait, snapshot.mood);
}

}
