#include "app-core/ClipSelector.hpp"

#include <algorithm>

namespace PupnikCore::ClipSelector {

using PawletKit::Gait;
using PawletKit::Mood;

ClipChoice choice(PawletKit::PawletState const& state)
{
    switch (state.mood) {
    case Mood::hungry:
        return { Clip::hungry, 1.0 };
    case Mood::happy:
        return { Clip::happy, 1.0 };
    case Mood::poop:
        return { Clip::poop, 1.0 };
    case Mood::normal:
        break;
    }
    switch (state.gait) {
    case Gait::sleep:
        return { Clip::idle, 0.5 };
    case Gait::idle:
        return { Clip::idle, 1.0 };
    case Gait::stroll:
        return { Clip::stroll, 1.0 };
    case Gait::walk:
        return { Clip::walk, 1.0 };
    case Gait::run:
        return { Clip::run, 1.0 };
    }
    return { Clip::idle, 1.0 };
}

PawletKit::PawletState demoState(Clip clip)
{
    PawletKit::PawletState state;
    state.gait = Gait::idle;
    state.mood = Mood::normal;
    switch (clip) {
    case Clip::run:
        state.gait = Gait::run;
        state.intensity = 0.7;
        state.busySessions = 2;
        break;
    case Clip::walk:
        state.gait = Gait::walk;
        state.intensity = 0.7;
        state.busySessions = 1;
        break;
    case Clip::stroll:
        state.gait = Gait::stroll;
        state.intensity = 0.7;
        state.busySessions = 1;
        break;
    case Clip::hungry:
        state.mood = Mood::hungry;
        break;
    case Clip::happy:
        state.mood = Mood::happy;
        break;
    case Clip::poop:
        state.mood = Mood::poop;
        state.waitingSessions = 1;
        break;
    case Clip::idle:
    case Clip::sick:
        break;
    }
    state.knownSessions = std::max(state.busySessions, state.waitingSessions);
    return state;
}

}
