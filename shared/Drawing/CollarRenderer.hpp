#pragma once

#include "shared/CollarAnchor.hpp"
#include "shared/CollarAnchors.hpp"
#include "shared/CollarColor.hpp"
#include "shared/CollarStyle.hpp"

#include <QColor>
#include <QPainter>

namespace PawletShared::CollarRenderer {

// Where the band's outline lies: centred on its edge (the collar drawn into an image), or inside it
// (the collar laid over the pet on the stage, whose band then keeps exactly its size).
enum class Outline {
    onEdge,
    inside,
};

// The collar over one sprite frame: a band with its two colour halves and outline, and the tag
// hanging from it. The painter's origin is the frame box's top-left corner, y down, in the units
// the frame is drawn in; scale is those units per frame pixel. The painter's state is kept.
void draw(QPainter& painter, CollarAnchor const& anchor, CollarStyle const& style, CollarAnchors::Tag const& tag, double scale,
    Outline outline = Outline::onEdge);

// The end radius of a band w long and h thick: half its smaller side, never negative.
double bandCornerRadius(double w, double h);

QColor color(CollarColor const& color, double alpha = 1);

}
