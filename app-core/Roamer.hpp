#pragma once

#include "app-core/RoamBounds.hpp"

#include <cstdint>

namespace PupnikCore {

// The pet window's place, size and walking direction (+1 right, -1 left; when stepping, 1 or more
// counts as right, anything else as left). It walks horizontally; its height changes only by clamping.
struct Roamer {
    double x { 0 };
    double groundY { 0 };
    double width { 0 };
    double height { 0 };
    int64_t facing { 1 };

    // Facing is stored as -1 when negative, else +1.
    static Roamer make(double x, double groundY, double width, double height, int64_t facing);

    // The largest left edge at which the window fits; the area's left end when it is narrower.
    double maxX(RoamBounds const& bounds) const;
    void clamp(RoamBounds const& bounds);
    // Keeps the horizontal centre and the bottom edge; nothing is clamped.
    void resize(double newWidth, double newHeight);
    // Clamps, then walks dt × speed, turning at the left and right ends (at most 64 turns; the rest
    // of the distance is dropped). True when the window faces another way than before.
    bool step(double dt, double speed, RoamBounds const& bounds);

    bool operator==(Roamer const&) const = default;
};

}
