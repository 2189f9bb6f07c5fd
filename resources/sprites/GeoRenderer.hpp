#pragma once

#include "SkinRenderer.hpp"

namespace SpriteArt {

// Flat colours on plain circles, rectangles and triangles, with no outline: a tricolour hound with
// a black saddle, tan head and legs, white muzzle, blaze, chest and socks, and hanging ears.
class GeoRenderer final : public SkinRenderer {
public:
    QImage render(DogFigure const& figure) const override;
    Proportions proportions() const override;
};

}
