#pragma once

#include <QPointF>

namespace SpriteArt {

// An ellipse turned by `angle` radians about its centre.
struct Ellipse {
    QPointF centre;
    double rx = 0;
    double ry = 0;
    double angle = 0;
};

}
