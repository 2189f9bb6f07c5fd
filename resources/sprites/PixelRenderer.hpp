#pragma once

#include "SkinRenderer.hpp"

namespace SpriteArt {

// Drawn on a coarse grid without smoothing in a small palette, each piece ringed by a one-cell
// dark outline, then blown up with nearest-neighbour scaling.
class PixelRenderer final : public SkinRenderer {
public:
    QImage render(DogFigure const& figure) const override;
    double smallestStep() const override { return cell; }

    // Frame pixels per grid cell.
    static constexpr int cell = 5;
};

}
