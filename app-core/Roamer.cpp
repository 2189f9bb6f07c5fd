#include "app-core/Roamer.hpp"

#include <algorithm>
#include <cmath>

namespace PupnikCore {

namespace {

constexpr int maxReflections = 64;

}

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
    int64_t const before = facing;
    double const hi = maxX(bounds);
    if (!std::isfinite(dt) || !(dt > 0) || !std::isfinite(speed) || !(speed > 0) || !(bounds.minX < hi))
        return false;
    double d = dt * speed;
    if (!(d > 0))
        return false;
    for (int reflections = 0;;) {
        if (facing >= 1) {
            double room = hi - x;
            if (d <= room) {
                x += d;
                break;
            }
            x = hi;
            d -= room;
            facing = -1;
        } else {
            double room = x - bounds.minX;
            if (d <= room) {
                x -= d;
                break;
            }
            x = bounds.minX;
            d -= room;
            facing = 1;
        }
        if (!(d > 0) || ++reflections == maxReflections)
            break;
    }
    return facing != before;
}

}
