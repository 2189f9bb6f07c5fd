#pragma once

#include "ClipSpec.hpp"
#include "Pose.hpp"

namespace SpriteArt {

// Poses the dog for a clip at a phase from 0 to 1. Every movement is periodic in the phase, so a
// clip's last frame leads into its first like any frame into the next.
class Choreographer final {
public:
    static Pose pose(ClipSpec const& clip, double phase);
    // For the clips that move the pet: whether a paw carries the dog at the phase, so that the
    // ground passing under it at the clip's speed carries the paw along. False for the others.
    static bool carries(ClipSpec const& clip, Leg leg, double phase);
};

}
