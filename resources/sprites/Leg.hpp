#pragma once

#include <QPointF>

#include <array>

namespace SpriteArt {

// The legs in painting order: the far pair first, drawn a shade darker behind the body.
enum Leg { farHind = 0,
    farFore = 1,
    nearHind = 2,
    nearFore = 3 };
inline constexpr std::array<Leg, 4> allLegs { farHind, farFore, nearHind, nearFore };
inline constexpr bool isHind(Leg leg) { return leg == farHind || leg == nearHind; }
inline constexpr bool isFar(Leg leg) { return leg == farHind || leg == farFore; }
// The far legs meet the body a little ahead and above the near ones, so the four read apart.
inline constexpr QPointF farLegOffset { 4, -2 };
// Height of the ankle above the ground when the paw stands on it.
inline constexpr double ankleHeight = 6.5;

}
