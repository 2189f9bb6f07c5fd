#include "DogFigure.hpp"

#include "ClipSpec.hpp"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace SpriteArt {

namespace {

constexpr double pi = std::numbers::pi;
constexpr double skullRadius = 27;
constexpr double collarThickness = 8;

QPointF rotated(QPointF vector, double angle)
{
    double const c = std::cos(angle);
    double const s = std::sin(angle);
    return { vector.x() * c - vector.y() * s, vector.x() * s + vector.y() * c };
}

double length(QPointF vector)
{
    return std::hypot(vector.x(), vector.y());
}

// The joint of a two-bone limb reaching from root to end. A paw out of reach is pulled in along
// the line to the root; the gaits are laid out so that a standing paw never is.
Limb reach(QPointF root, QPointF end, double upper, double lower, bool jointBack)
{
    QPointF along = end - root;
    double distance = length(along);
    double const longest = upper + lower - 0.01;
    double const shortest = std::abs(upper - lower) + 0.01;
    if (distance < 1e-6) {
        along = { 0, 1 };
        distance = 1e-6;
    }
    QPointF const direction = along / distance;
    double const clamped = std::clamp(distance, shortest, longest);
    double const forward = (upper * upper - lower * lower + clamped * clamped) / (2 * clamped);
    double const across = std::sqrt(std::max(0.0, upper * upper - forward * forward));
    QPointF const normal(-direction.y(), direction.x()); // the rear side of a downward limb
    Limb limb;
    limb.root = root;
    limb.joint = root + direction * forward + normal * (jointBack ? across : -across);
    limb.end = root + direction * clamped;
    return limb;
}

Ear ear(QPointF centre, double tilt, QPointF base1, QPointF base2, double angle, double size)
{
    QPointF const middle = (base1 + base2) / 2;
    QPointF const tip = middle + QPointF(std::cos(angle), std::sin(angle)) * size;
    return { centre + rotated(base1, tilt), centre + rotated(base2, tilt), centre + rotated(tip, tilt) };
}

}

DogFigure DogFigure::of(Pose const& pose, double smallestStep, Proportions const& build)
{
    DogFigure figure;
    QPointF const hip = pose.hip;
    QPointF const shoulder = pose.shoulder;
    double const angle = std::atan2(shoulder.y() - hip.y(), shoulder.x() - hip.x());
    figure.bodyAngle = angle;
    auto body = [&](QPointF origin, double x, double y) { return origin + rotated({ x, y }, angle); };

    double const span = length(shoulder - hip);
    figure.haunch = { body(hip, -2, -10), 27, 25, angle };
    figure.chest = { body(shoulder, -4, -13), 29, 28 * pose.swell, angle };
    figure.belly = { body((hip + shoulder) / 2, 0, -12 - 0.5 * pose.arch + 3 * pose.bellyTuck),
        span / 2 + 6, (24 + 0.5 * pose.arch) * pose.swell - 6 * pose.bellyTuck, angle };

    // Head: features are laid out facing right and turned with the tilt about the skull's centre.
    QPointF const head = pose.head;
    double const tilt = pose.headTilt;
    auto face = [&](double x, double y) { return head + rotated({ x, y }, tilt); };
    figure.skull = { head, skullRadius, skullRadius * 0.96, tilt };
    // The muzzle grows forward from where it leaves the cheek, and the nose sits on its tip.
    double const muzzleFront = 5 + 2 * build.muzzleLength;
    double const muzzleBottom = 10 + build.muzzleDepth;
    figure.muzzle = { face(5 + build.muzzleLength, 10), build.muzzleLength, build.muzzleDepth, tilt + 0.08 };
    figure.nose = { face(muzzleFront - 2, 4), 5.5, 4.5, tilt };
    figure.eye = { face(8, -5), 4.6, 4.6 * std::clamp(pose.eyeOpen, 0.12, 1.0), tilt };
    figure.eyeOpen = pose.eyeOpen;
    double const lipLine = std::min(15.0, muzzleBottom - 7.5);
    figure.mouthBack = face(17, lipLine + 1);
    figure.mouthFront = face(muzzleFront - 5, lipLine);
    figure.mouthOpen = pose.mouthOpen;
    figure.jawTip = face(muzzleFront - 11, lipLine + 1 + 11 * pose.mouthOpen);
    // Broad and lolling on the lower jaw, so an open mouth never reads as bared teeth.
    figure.tongue = { face(muzzleFront - 11, lipLine + 3 + 8 * pose.mouthOpen), 7, 1.5 + 5 * pose.mouthOpen, tilt + 0.25 };
    if (pose.lick > 0.05) {
        // Out of the front of the closed mouth and up over the lip.
        double const lick = std::clamp(pose.lick, 0.0, 1.0);
        figure.lickingTongue
            = Ellipse { face(muzzleFront - 6 + 2 * lick, lipLine + 2 - 2 * lick), 3.5 + 1.5 * lick, 2 + 4 * lick, tilt + 0.6 };
    }

    // Ears turn from pricked (pointing up and a little back) to hanging down behind the cheek.
    // A hanging ear moves its root to the back of the skull and reaches past the jaw; it keeps
    // hanging down as the head tips, instead of lying back over the crown of a lowered head.
    double const droop = std::clamp(std::max(pose.earDroop, build.earDroop), 0.0, 1.0);
    double const earBack = pose.earBack * (1 - 2 * droop);
    double const nearAngle = -1.75 + (-4.5 + 1.75) * droop - earBack - 0.5 * tilt * droop;
    auto between = [&](QPointF pricked, QPointF hanging) { return pricked + (hanging - pricked) * droop; };
    double const earLength = (30 + 14 * droop) * build.earLength;
    figure.nearEar = ear(head, tilt, between({ -15, -19 }, { -21, -11 }), between({ 3, -25 }, { -6, -24 }), nearAngle, earLength);
    figure.farEar = ear(head, tilt, between({ -5, -23 }, { -8, -22 }), between({ 11, -26 }, { 6, -26 }), nearAngle + 0.18,
        earLength - 3);
    figure.nearEar.flap = figure.farEar.flap = droop;

    QPointF const neckRoot = body(shoulder, 8, -22);
    figure.neck = { neckRoot, (neckRoot + head) / 2, head, 36, 33, 30 };

    for (Leg leg : allLegs) {
        QPointF const root = (isHind(leg) ? hip : shoulder) + (isFar(leg) ? farLegOffset : QPointF());
        double const upper = 30;
        double const lower = isHind(leg) ? 30 : 29.5;
        Limb limb = reach(root, pose.paws[leg], upper, lower, pose.jointBack[leg]);
        limb.rootWidth = (isHind(leg) ? 17 : 15) * build.legWidth;
        limb.jointWidth = (isHind(leg) ? 12 : 11) * build.legWidth;
        // The ankle's round end may not reach below the sole.
        limb.endWidth = std::min(10 * build.legWidth, 2 * ankleHeight);
        figure.legs[leg] = limb;
        // Stouter legs get broader paws, but less so, to stay paws rather than hooves.
        double const pawWidth = 8.5 * std::sqrt(build.legWidth);
        figure.paws[leg] = { limb.end + QPointF(3.5, 1), pawWidth, 5.5, 0 };
    }

    // Tail: a chain of short segments from the top of the rump, bending along its length.
    QPointF point = body(hip, -22, -20);
    double heading = pi + pose.tailLift + angle;
    figure.tail.push_back(point);
    constexpr int segments = 4;
    for (int index = 0; index < segments; ++index) {
        heading += pose.tailCurl / segments;
        point += QPointF(std::cos(heading), std::sin(heading)) * 10;
        figure.tail.push_back(point);
    }
    figure.tailRootWidth = 11;
    figure.tailTipWidth = 4;

    if (pose.pile) {
        figure.pile = {
            { { 56, groundY - 6 }, 14, 6.5, 0 },
            { { 57, groundY - 14 }, 10, 5.5, 0 },
            { { 58.5, groundY - 21 }, 5.5, 4.5, 0.3 },
        };
    }
    if (pose.dropping)
        figure.dropping = Ellipse { *pose.dropping, 5, 4, 0.5 };
    if (pose.bowl)
        figure.bowl = QRectF(QPointF(223, groundY - 21), QPointF(265, groundY));
    if (pose.icePack) {
        // A rubber bag lying across the crown, its stopper to the back.
        figure.iceBag = Ellipse { face(-1, -skullRadius - 6), 19, 11, tilt - 0.12 };
        figure.iceCap = { face(-15, -skullRadius - 8), face(-18.5, -skullRadius - 9), face(-22, -skullRadius - 10), 9, 9, 9 };
    }
    figure.pallor = std::clamp(pose.pallor, 0.0, 1.0);

    // Squash and stretch about the ground under the body, then the tremor.
    double const pivotX = (hip.x() + shoulder.x()) / 2;
    double shiver = pose.shiverX;
    if (shiver != 0 && std::abs(shiver) < smallestStep)
        shiver = std::copysign(smallestStep, shiver);
    figure.placement = QTransform::fromTranslate(-pivotX, -groundY)
        * QTransform::fromScale(1 + 0.6 * pose.squash, 1 - pose.squash)
        * QTransform::fromTranslate(pivotX + shiver, groundY);

    // The collar sits on the neck just clear of the skull, across the neck's axis.
    QPointF const axis = head - neckRoot;
    QPointF const unit = axis / std::max(length(axis), 1e-6);
    QPointF const centre = head - unit * (skullRadius + 1);
    double const bandAngle = std::atan2(unit.y(), unit.x()) + pi / 2;
    QPointF const across(std::cos(bandAngle), std::sin(bandAngle));
    double const neckWidth = 33;
    QPointF const end1 = figure.placement.map(centre - across * neckWidth / 2);
    QPointF const end2 = figure.placement.map(centre + across * neckWidth / 2);
    QPointF const middle = figure.placement.map(centre);
    figure.collar = { middle.x(), middle.y(), length(end2 - end1), collarThickness,
        std::atan2(end2.y() - end1.y(), end2.x() - end1.x()) };
    return figure;
}

}
