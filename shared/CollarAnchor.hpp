#pragma once

namespace PawletShared {

// Where the collar band lies in one frame, in pixels of the frame file (origin top left, y down).
struct CollarAnchor {
    // Centre of the band.
    double x { 0 };
    double y { 0 };
    // Length and thickness of the band.
    double w { 0 };
    double h { 0 };
    // Radians about the centre; positive turns from +x towards +y, clockwise on screen.
    double angle { 0 };

    bool operator==(CollarAnchor const&) const = default;
};

}
