#pragma once

#include "Leg.hpp"

#include <QPointF>

#include <array>
#include <optional>

namespace SpriteArt {

// The skeleton's pose in one frame, in frame pixels (y down, the dog facing right). Every skin
// draws the same pose; only the look differs.
struct Pose {
    QPointF hip { 95, 130 }; // where the hind legs meet the body
    QPointF shoulder { 170, 130 }; // where the forelegs meet the body
    double arch = 0; // the back line bulging up (pixels)
    double swell = 1; // the chest's breathing, a thickness factor
    double bellyTuck = 0; // 0 a round belly, 1 drawn in
    QPointF head { 214, 80 }; // centre of the skull
    double headTilt = 0; // radians, positive turns the nose down
    double earDroop = 0; // 0 pricked, 1 hanging
    double earBack = 0; // radians turning the ears further back (streaming, flicks)
    double eyeOpen = 1; // 0 closed .. 1 open
    double mouthOpen = 0; // 0 closed .. 1 wide open with the tongue out
    double tailLift = 0.7; // radians above the horizontal, pointing back
    double tailCurl = 0.5; // radians the tail bends towards its tip
    std::array<QPointF, 4> paws {}; // ankle of each leg (centre of the paw's heel), by Leg
    std::array<bool, 4> jointBack { true, false, true, false }; // the middle joint points to the rear
    double squash = 0; // positive squashes towards the ground, negative stretches
    double shiverX = 0; // sideways tremor of the whole dog
    bool pile = false; // a small pile on the ground behind
    bool bowl = false; // an empty food bowl on the ground in front
    bool icePack = false; // an ice bag lying on the head
    double pallor = 0; // 0 a healthy coat .. 1 pale and greenish
    double lick = 0; // 0 tongue in .. 1 the tongue out over the lips
    std::optional<QPointF> dropping; // one falling on the way to the pile
};

}
