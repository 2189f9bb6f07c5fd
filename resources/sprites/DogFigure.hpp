#pragma once

#include "Pose.hpp"

#include <QPointF>
#include <QTransform>

#include <array>
#include <optional>
#include <vector>

namespace SpriteArt {

// An ellipse turned by `angle` radians about its centre.
struct Ellipse {
    QPointF centre;
    double rx = 0;
    double ry = 0;
    double angle = 0;
};

// A leg or the neck: two tapering segments through a joint.
struct Limb {
    QPointF root;
    QPointF joint;
    QPointF end;
    double rootWidth = 0;
    double jointWidth = 0;
    double endWidth = 0;
};

struct Ear {
    QPointF base1;
    QPointF base2;
    QPointF tip;
};

// Where the collar lies across the neck, in frame pixels.
struct CollarBand {
    double x = 0;
    double y = 0;
    double w = 0;
    double h = 0;
    double angle = 0;
};

// The dog's shapes for one pose, the same for every skin: each skin draws these primitives in its
// own way. Coordinates are frame pixels before `placement` (squash and tremor), which the skins
// apply when they draw; `collar` has it applied already.
struct DogFigure {
    QTransform placement;
    double bodyAngle = 0;
    Ellipse haunch;
    Ellipse belly;
    Ellipse chest;
    Limb neck;
    Ellipse skull;
    Ellipse muzzle;
    Ellipse nose;
    Ellipse eye;
    double eyeOpen = 1;
    QPointF mouthBack;
    QPointF mouthFront;
    QPointF jawTip;
    double mouthOpen = 0;
    Ellipse tongue;
    Ear nearEar;
    Ear farEar;
    std::array<Limb, 4> legs;
    std::array<Ellipse, 4> paws;
    std::vector<QPointF> tail;
    double tailRootWidth = 0;
    double tailTipWidth = 0;
    std::vector<Ellipse> pile;
    std::optional<Ellipse> dropping;
    CollarBand collar;

    // `smallestStep`: a skin drawn on a grid passes its cell, so that a tremor smaller than one
    // cell still moves the dog by a whole cell instead of vanishing.
    static DogFigure of(Pose const& pose, double smallestStep = 0);
};

}
