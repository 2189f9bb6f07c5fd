#pragma once

#include <QPointF>

namespace SpriteArt {

// A leg or the neck: two tapering segments through a joint.
struct Limb {
    QPointF root;
    QPointF joint;
    QPointF end;
    double rootWidth = 0;
    double jointWidth = 0;
    double endWidth = 0;
};

}
