#pragma once

#include "SkinRenderer.hpp"

namespace SpriteArt {

// A pen sketch: black strokes of two weights over a white fill, the far side washed grey.
class InkRenderer final : public SkinRenderer {
public:
    QImage render(DogFigure const& figure) const override;
};

}
