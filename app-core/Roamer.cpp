#include "app-core/Roamer.hpp"

#include "shared/Roamer.hpp"

#include <algorithm>

namespace PupnikCore {

Roamer Roamer::make(double x, double groundY, double width, double height, int64_t facing)
{
    return { x, groundY, width, height, facing < 0 ? -1 : 1 };
}

double Roamer::maxX(RoamBounds const& bounds) const
{
    return std::max(bounds.minX, bounds.maxX - width);
}

void Roamer::clamp(RoamBounds const& bounds)
{
    x = std::min(maxX(bounds), std::max(x, bounds.minX));
    double const hiY = std::max(bounds.minY, bounds.maxY - height);
    groundY = std::min(hiY, std::max(groundY, bounds.minY));
}

void Roamer::resize(double newWidth, double newHeight)
{
    x = (x + width * 0.5) - newWidth * 0.5;
    width = newWidth;
    height = newHeight;
}

bool Roamer::step(double dt, double speed, RoamBounds const& bounds)
{
    clamp(bounds);
    // The window walks as the pet on a band does; only the vertical clamp is its own.
    PawletShared::Roamer band { x, width, facing };
    bool const turned = band.step(dt, speed, { bounds.minX, bounds.maxX });
    x = band.x;
    facing = band.facing;
    return turned;
}

}
