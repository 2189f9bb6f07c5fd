#pragma once

namespace PawletShared {

// The horizontal band the pet walks along.
struct RoamBounds {
    double minX { 0 };
    double maxX { 0 };

    bool operator==(RoamBounds const&) const = default;
};

}
