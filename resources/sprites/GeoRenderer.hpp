#pragma once

#include "SkinRenderer.hpp"

namespace SpriteArt {

// Flat colours on plain circles, rectangles and triangles, with no outline.
class GeoRenderer final : public SkinRenderer {
public:
    QImage render(DogFigure const& figure) const override;
};

}
