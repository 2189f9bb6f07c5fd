#include "FigurePart.hpp"

#include <QTransform>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace SpriteArt {

namespace {

std::vector<QPainterPath> legShapes(DogFigure const& figure, Leg leg)
{
    Limb const& limb = figure.legs[leg];
    return {
        FigurePart::taper(limb.root, limb.joint, limb.rootWidth, limb.jointWidth),
        FigurePart::taper(limb.joint, limb.end, limb.jointWidth, limb.endWidth),
        FigurePart::ellipse(figure.paws[leg]),
    };
}

}

QPainterPath FigurePart::ellipse(Ellipse const& ellipse)
{
    QPainterPath path;
    path.addEllipse(QPointF(), ellipse.rx, ellipse.ry);
    QTransform transform;
    transform.translate(ellipse.centre.x(), ellipse.centre.y());
    transform.rotateRadians(ellipse.angle);
    return transform.map(path);
}

QPainterPath FigurePart::taper(QPointF from, QPointF to, double fromWidth, double toWidth)
{
    double const fromRadius = fromWidth / 2;
    double const toRadius = toWidth / 2;
    QPointF const along = to - from;
    double const distance = std::hypot(along.x(), along.y());
    QPointF const direction = distance > 1e-6 ? along / distance : QPointF(1, 0);
    QPointF const normal(-direction.y(), direction.x());
    // One outline: the far end's half circle, then the near end's, joined by the two sides.
    constexpr int steps = 10;
    QPolygonF outline;
    for (int step = 0; step <= steps; ++step) {
        double const turn = std::numbers::pi * step / steps;
        outline << to + (normal * std::cos(turn) + direction * std::sin(turn)) * toRadius;
    }
    for (int step = 0; step <= steps; ++step) {
        double const turn = std::numbers::pi * step / steps;
        outline << from - (normal * std::cos(turn) + direction * std::sin(turn)) * fromRadius;
    }
    QPainterPath path;
    path.addPolygon(outline);
    path.closeSubpath();
    return path;
}

QPainterPath FigurePart::ear(Ear const& ear)
{
    // A leaf: each side bulges outwards from the line between its ends.
    auto bulge = [](QPointF from, QPointF to, double amount) {
        QPointF const along = to - from;
        return (from + to) / 2 + QPointF(along.y(), -along.x()) * amount;
    };
    // A hanging ear ends in a round lobe nearly as broad as its root, so it reads as a flap and
    // not as a strap; a pricked one comes to a point.
    double const flap = std::clamp(ear.flap, 0.0, 1.0);
    QPointF const root = (ear.base1 + ear.base2) / 2;
    QPointF const reach = ear.tip - root;
    QPointF const along = reach / std::max(std::hypot(reach.x(), reach.y()), 1e-6);
    QPointF across(-along.y(), along.x());
    QPointF const toBase1 = ear.base1 - root;
    if (across.x() * toBase1.x() + across.y() * toBase1.y() < 0)
        across = -across;
    QPointF const base = ear.base2 - ear.base1;
    double const radius = 0.4 * flap * std::hypot(base.x(), base.y());
    QPointF const lobe = ear.tip - along * radius;
    double const sides = 0.18 * (1 - 0.6 * flap);
    QPainterPath path;
    path.moveTo(ear.base1);
    path.quadTo(bulge(ear.base1, lobe + across * radius, sides), lobe + across * radius);
    constexpr int steps = 8;
    for (int step = 1; step < steps && radius > 0.5; ++step) {
        double const turn = std::numbers::pi * step / steps;
        path.lineTo(lobe + (across * std::cos(turn) + along * std::sin(turn)) * radius);
    }
    path.quadTo(bulge(lobe - across * radius, ear.base2, sides), ear.base2);
    path.closeSubpath();
    return path;
}

QPainterPath FigurePart::eye(DogFigure const& figure)
{
    double const radius = figure.eye.rx;
    QPointF const centre = figure.eye.centre;
    QPainterPath ball;
    ball.addEllipse(centre, radius, radius);
    double const lid = centre.y() + radius * (1 - 2 * std::clamp(figure.eyeOpen, 0.0, 1.0));
    QPainterPath below;
    below.addRect(QRectF(centre.x() - radius - 1, lid, 2 * radius + 2, 2 * radius + 2));
    return ball.intersected(below);
}

QPainterPath FigurePart::mouth(DogFigure const& figure)
{
    QPainterPath path;
    path.moveTo(figure.mouthBack);
    path.lineTo(figure.mouthFront);
    path.quadTo((figure.mouthFront + figure.jawTip) / 2 + QPointF(2, 1), figure.jawTip);
    path.quadTo((figure.jawTip + figure.mouthBack) / 2 + QPointF(-1, 2), figure.mouthBack);
    path.closeSubpath();
    return path;
}

namespace {

constexpr double rimDepth = 4;

}

QPainterPath FigurePart::bowlHollow(QRectF const& bowl)
{
    QPainterPath path;
    path.addEllipse(QPointF(bowl.center().x(), bowl.top() + rimDepth), bowl.width() / 2, rimDepth);
    return path;
}

QPainterPath FigurePart::bowlWall(QRectF const& bowl)
{
    double const rim = bowl.top() + rimDepth;
    double const foot = bowl.width() * 0.14;
    QPainterPath path;
    path.moveTo(bowl.left(), rim);
    // Through the bottom of the rim's ellipse: the near half of the rim.
    path.quadTo(QPointF(bowl.center().x(), rim + 2 * rimDepth), QPointF(bowl.right(), rim));
    path.lineTo(bowl.right() - foot, bowl.bottom());
    path.lineTo(bowl.left() + foot, bowl.bottom());
    path.closeSubpath();
    return path;
}

std::vector<QPainterPath> FigurePart::iceBag(DogFigure const& figure)
{
    if (!figure.iceBag)
        return {};
    Limb const& cap = figure.iceCap;
    return { ellipse(*figure.iceBag), taper(cap.root, cap.end, cap.rootWidth, cap.endWidth) };
}

std::vector<FigurePart> FigurePart::inPaintOrder(DogFigure const& figure)
{
    std::vector<QPainterPath> tail;
    for (std::size_t index = 1; index < figure.tail.size(); ++index) {
        double const share = double(index - 1) / double(figure.tail.size() - 1);
        double const next = double(index) / double(figure.tail.size() - 1);
        auto width = [&](double at) { return figure.tailRootWidth + (figure.tailTipWidth - figure.tailRootWidth) * at; };
        tail.push_back(taper(figure.tail[index - 1], figure.tail[index], width(share), width(next)));
    }
    Limb const& neck = figure.neck;
    return {
        { Kind::farLeg, legShapes(figure, farHind), farHind },
        { Kind::farLeg, legShapes(figure, farFore), farFore },
        { Kind::tail, tail, {} },
        { Kind::farEar, { ear(figure.farEar) }, {} },
        { Kind::torso,
            { ellipse(figure.haunch), ellipse(figure.belly), ellipse(figure.chest),
                taper(neck.root, neck.end, neck.rootWidth, neck.endWidth) },
            {} },
        { Kind::nearLeg, legShapes(figure, nearHind), nearHind },
        { Kind::nearLeg, legShapes(figure, nearFore), nearFore },
        { Kind::head, { ellipse(figure.skull), ellipse(figure.muzzle) }, {} },
        { Kind::nearEar, { ear(figure.nearEar) }, {} },
    };
}

}
