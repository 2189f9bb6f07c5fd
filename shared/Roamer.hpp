#pragma once

#include "shared/RoamBounds.hpp"

#include <cstdint>

namespace PawletShared {

// The pet's place on a band: it covers x to x + width and walks towards facing (+1 right, -1 left;
// when stepping, 1 or more counts as right, anything else as left).
struct Roamer {
    double x { 0 };
    double width { 0 };
    int64_t facing { 1 };

    // Facing is stored as -1 when negative, else +1.
    static Roamer make(double x, double width, int64_t facing);

    // The rightmost left edge at which the pet fits; the band's left end when it is narrower.
    double maxX(RoamBounds const& bounds) const;
    void clamp(RoamBounds const& bounds);
    // Keeps the centre; x is not clamped.
    void setWidth(double newWidth);
    // Clamps, then walks dt × speed, turning at either end (at most 64 turns; the rest of the
    // distance is dropped). True when the pet faces another way than before.
    bool step(double dt, double speed, RoamBounds const& bounds);

    bool operator==(Roamer const&) const = default;
};

}
