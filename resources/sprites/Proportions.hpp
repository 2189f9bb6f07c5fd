#pragma once

namespace SpriteArt {

// How one skin builds the dog on the shared skeleton: the same joints and poses, with the breed's
// ears, muzzle and legs. The defaults are the soft dog's.
struct Proportions {
    double earLength = 1; // scales the ear from root to tip
    double earDroop = 0; // the least droop, whatever the pose: 1 makes hanging ears
    double muzzleLength = 18; // half the muzzle's length
    double muzzleDepth = 12.5; // half its depth
    double legWidth = 1; // scales the legs' thickness
};

}
