#pragma once

#include <QPointF>

namespace SpriteArt {

// An ear: where its root meets the skull, and its tip.
struct Ear {
    QPointF base1;
    QPointF base2;
    QPointF tip;
    double flap = 0; // 0 a pointed leaf .. 1 a hanging flap with a rounded end
};

}
