#pragma once

namespace PupnikCore {

// The screen area the pet window must stay in (y grows upwards).
struct RoamBounds {
    double minX { 0 };
    double maxX { 0 };
    double minY { 0 };
    double maxY { 0 };

    bool operator==(RoamBounds const&) const = default;
};

}
