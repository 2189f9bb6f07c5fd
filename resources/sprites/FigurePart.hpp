#pragma once

#include "DogFigure.hpp"

#include <QPainterPath>

#include <optional>
#include <vector>

namespace SpriteArt {

// One piece of the dog's silhouette as overlapping shapes, in the order the skins paint them.
// A skin that outlines a piece strokes all its shapes first and fills them after, so the outline
// runs round the piece as a whole without merging the shapes.
struct FigurePart {
    enum class Kind { farLeg,
        tail,
        farEar,
        torso,
        nearLeg,
        head,
        nearEar };

    Kind kind;
    std::vector<QPainterPath> shapes;
    std::optional<Leg> leg; // which leg, for the legs

    static std::vector<FigurePart> inPaintOrder(DogFigure const& figure);

    static QPainterPath ellipse(Ellipse const& ellipse);
    // A segment whose rounded ends have the two widths.
    static QPainterPath taper(QPointF from, QPointF to, double fromWidth, double toWidth);
    static QPainterPath ear(Ear const& ear);
    // The part of the eye that the lid leaves open.
    static QPainterPath eye(DogFigure const& figure);
    // The open mouth: from the back of the lips to the front and down to the lowered jaw.
    static QPainterPath mouth(DogFigure const& figure);
    // The empty bowl's hollow, painted behind the dog, and its wall with the front lip, in front,
    // so a nose in the bowl dips behind the lip.
    static QPainterPath bowlHollow(QRectF const& bowl);
    static QPainterPath bowlWall(QRectF const& bowl);
    // The ice bag and its stopper.
    static std::vector<QPainterPath> iceBag(DogFigure const& figure);
};

}
