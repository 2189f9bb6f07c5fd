#pragma once

#include "SkinRenderer.hpp"

namespace SpriteArt {

// Drawn on a coarse grid without smoothing in a small palette, each piece ringed by a one-cell
// dark outline, then blown up with nearest-neighbour scaling.
class PixelRenderer final : public SkinRenderer {
public:
    QImage render(DogFigure const& figure) const override;
    double smallestStep() const override { return cell; }
    // Short ears, stout legs and a round muzzle: at the small size a pixel dog's thin legs and tall
    // ears would read as a deer's.
    Proportions proportions() const override;

    // Frame pixels per grid cell.
    static constexpr int cell = 5;
};

}
