#pragma once

#include "CollarBand.hpp"
#include "Ear.hpp"
#include "Ellipse.hpp"
#include "Limb.hpp"
#include "Pose.hpp"
#include "Proportions.hpp"

#include <QPointF>
#include <QRectF>
#include <QTransform>

#include <array>
#include <optional>
#include <vector>

namespace SpriteArt {

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
    std::optional<QRectF> bowl; // standing on the ground
    std::optional<Ellipse> iceBag;
    Limb iceCap; // the bag's stopper, meaningful with iceBag
    std::optional<Ellipse> lickingTongue; // outside the closed mouth
    double pallor = 0;
    CollarBand collar;

    // `smallestStep`: a skin drawn on a grid passes its cell, so that a tremor smaller than one
    // cell still moves the dog by a whole cell instead of vanishing.
    static DogFigure of(Pose const& pose, double smallestStep = 0, Proportions const& build = {});
};

}
