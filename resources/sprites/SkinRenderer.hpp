#pragma once

#include "DogFigure.hpp"

#include <QBrush>
#include <QImage>
#include <QPainterPath>

#include <memory>
#include <string_view>
#include <vector>

class QPainter;

namespace SpriteArt {

// Draws the dog's figure in one skin's look, as one transparent frame of the sprite directory.
class SkinRenderer {
public:
    virtual ~SkinRenderer() = default;
    virtual QImage render(DogFigure const& figure) const = 0;
    // The smallest movement the skin can show, for DogFigure::of; 0 when any movement shows.
    virtual double smallestStep() const { return 0; }
    // How this skin's breed is built on the shared skeleton.
    virtual Proportions proportions() const { return {}; }

    // The renderer of a skin by its folder name; throws std::invalid_argument for another name.
    static std::unique_ptr<SkinRenderer> forSkin(std::string_view skin);

    static QImage blankFrame();
    // A coat colour turned pale and greenish by illness (`pallor` 0 .. 1).
    static QColor sickly(QColor colour, double pallor);
    // Strokes every shape with the outline pen, then fills them all: the outline shows only
    // round the outside of the overlapping shapes, at half the pen's width.
    static void outlineAndFill(QPainter& painter, std::vector<QPainterPath> const& shapes, QColor outline,
        double outlineWidth, QBrush const& fill);
};

}
