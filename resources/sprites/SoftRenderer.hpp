#pragma once

#include "SkinRenderer.hpp"

namespace SpriteArt {

// Rounded shapes shaded top to bottom, each piece outlined a little darker than its fill.
class SoftRenderer final : public SkinRenderer {
public:
    QImage render(DogFigure const& figure) const override;
};

}
