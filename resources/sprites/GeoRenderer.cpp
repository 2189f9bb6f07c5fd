#include "GeoRenderer.hpp"

#include "FigurePart.hpp"

#include <QLineF>
#include <QPainter>

#include <cmath>

namespace SpriteArt {

namespace {

QColor const tanCoat(0xC9, 0x7C, 0x3A);
QColor const farTanCoat(0x9C, 0x5C, 0x27);
QColor const saddleCoat(0x3A, 0x33, 0x31);
QColor const earColour(0x86, 0x4A, 0x20);
QColor const farEarColour(0x64, 0x36, 0x17);
QColor const whiteCoat(0xFA, 0xF6, 0xEE);
QColor const dark(0x2E, 0x2A, 0x2A);
QColor const tongue(0xF0, 0x6B, 0x7A);
QColor const pileColour(0x7B, 0x4A, 0x2A);
QColor const bowlColour(0x3D, 0x86, 0xC6);
QColor const bowlInside(0x23, 0x55, 0x86);
QColor const iceColour(0x8C, 0xCE, 0xF0);
QColor const capColour(0xE0, 0x4B, 0x3E);

// The coat as illness leaves it.
struct Coat {
    QColor tan;
    QColor farTan;
    QColor saddle;
    QColor white;
    QColor ear;
    QColor farEar;

    static Coat of(double pallor)
    {
        auto ill = [&](QColor colour) { return SkinRenderer::sickly(colour, pallor); };
        return { ill(tanCoat), ill(farTanCoat), ill(saddleCoat), ill(whiteCoat), ill(earColour), ill(farEarColour) };
    }
};

// A rectangle of the given width laid along a segment.
QPolygonF bar(QPointF from, QPointF to, double width)
{
    QPointF const along = to - from;
    double const distance = std::max(std::hypot(along.x(), along.y()), 1e-6);
    QPointF const normal = QPointF(-along.y(), along.x()) / distance * (width / 2);
    return QPolygonF({ from + normal, to + normal, to - normal, from - normal });
}

QPolygonF triangle(QPointF a, QPointF b, QPointF c)
{
    return QPolygonF({ a, b, c });
}

void circle(QPainter& painter, QPointF centre, double radius)
{
    painter.drawEllipse(centre, radius, radius);
}

QPointF onBody(DogFigure const& figure, QPointF origin, double x, double y)
{
    double const c = std::cos(figure.bodyAngle);
    double const s = std::sin(figure.bodyAngle);
    return origin + QPointF(x * c - y * s, x * s + y * c);
}

// Tan down to a paw standing flat on the ground: white socks would vanish against a light desktop
// and leave the dog hanging in the air.
void drawLeg(QPainter& painter, DogFigure const& figure, Leg leg, QColor coat)
{
    Limb const& limb = figure.legs[leg];
    painter.setBrush(coat);
    painter.drawPolygon(bar(limb.root, limb.joint, limb.jointWidth + 2));
    circle(painter, limb.joint, limb.jointWidth / 2 + 1);
    painter.drawPolygon(bar(limb.joint, limb.end, limb.endWidth));
    circle(painter, limb.end, limb.endWidth / 2);
    // A half disc with its flat side on the ground.
    Ellipse const& paw = figure.paws[leg];
    QRectF const box(paw.centre.x() - paw.rx, paw.centre.y() - paw.ry, 2 * paw.rx, 4 * paw.ry);
    painter.drawChord(box, 0, 180 * 16);
}

void drawTorso(QPainter& painter, DogFigure const& figure, Coat const& coat)
{
    painter.setBrush(coat.tan);
    Limb const& neck = figure.neck;
    painter.drawPolygon(bar(neck.root, neck.end, neck.endWidth));
    QPainterPath haunch;
    haunch.addEllipse(figure.haunch.centre, figure.haunch.ry, figure.haunch.ry);
    QPainterPath chest;
    chest.addEllipse(figure.chest.centre, figure.chest.ry, figure.chest.ry);
    QPainterPath belly;
    belly.addPolygon(bar(figure.haunch.centre + QPointF(0, figure.haunch.ry - figure.belly.ry),
        figure.chest.centre + QPointF(0, figure.chest.ry - figure.belly.ry), 2 * figure.belly.ry));
    QPainterPath const torso = haunch.united(chest).united(belly);
    painter.drawPath(torso);
    painter.save();
    painter.setClipPath(torso);
    // The black saddle over the back, from the rump to behind the shoulder.
    painter.setBrush(coat.saddle);
    QPointF const saddleCentre = onBody(figure, figure.belly.centre, -4, -figure.belly.ry * 1.05);
    double const saddleLength = (figure.chest.centre.x() - figure.haunch.centre.x()) / 2 + 16;
    painter.drawEllipse(saddleCentre, saddleLength, figure.belly.ry * 1.05);
    // A white chest.
    painter.setBrush(coat.white);
    circle(painter, onBody(figure, figure.chest.centre, 18, 16), figure.chest.ry * 0.7);
    painter.restore();
}

void drawHead(QPainter& painter, DogFigure const& figure)
{
    QPointF const head = figure.skull.centre;
    double const tilt = figure.skull.angle;
    auto face = [&](double x, double y) {
        return head + QPointF(x * std::cos(tilt) - y * std::sin(tilt), x * std::sin(tilt) + y * std::cos(tilt));
    };
    Coat const coat = Coat::of(figure.pallor);
    painter.setBrush(coat.tan);
    circle(painter, head, figure.skull.rx);
    // A white blaze up the forehead, and a broad white muzzle.
    painter.setBrush(coat.white);
    painter.drawPolygon(bar(face(2, -24), face(10, 0), 7));
    painter.drawPath(FigurePart::ellipse(figure.muzzle));

    if (figure.mouthOpen > 0.05) {
        QPolygonF const mouth = triangle(figure.mouthBack, figure.mouthFront, figure.jawTip);
        painter.setBrush(dark);
        painter.drawPolygon(mouth);
        painter.setBrush(tongue);
        painter.drawPath(FigurePart::ellipse(figure.tongue));
    } else {
        painter.setBrush(dark);
        painter.drawPolygon(bar(figure.mouthBack, figure.mouthFront, 2.4));
    }
    if (figure.lickingTongue) {
        painter.setBrush(tongue);
        painter.drawPath(FigurePart::ellipse(*figure.lickingTongue));
    }
    painter.setBrush(dark);
    circle(painter, figure.nose.centre, figure.nose.rx);
    QPointF const eye = figure.eye.centre;
    if (figure.eyeOpen < 0.3) {
        painter.drawPolygon(bar(eye + QPointF(-5, 0.5), eye + QPointF(5, 0.5), 2.6));
        return;
    }
    painter.drawPath(FigurePart::eye(figure));
    if (figure.eyeOpen > 0.5) {
        painter.save();
        painter.setClipPath(FigurePart::eye(figure), Qt::IntersectClip);
        painter.setBrush(Qt::white);
        circle(painter, eye + QPointF(1.4, -1.6), 1.7);
        painter.restore();
    }
}

// A hanging ear: a broad flap as wide as its root, its end rounded by a disc.
void drawEar(QPainter& painter, Ear const& ear, QColor colour)
{
    QPointF const root = (ear.base1 + ear.base2) / 2;
    QPointF const base = ear.base2 - ear.base1;
    double const width = std::hypot(base.x(), base.y());
    QPointF const end = root + (ear.tip - root) * (1 - 0.5 * width / std::max(1.0, QLineF(root, ear.tip).length()));
    painter.setBrush(colour);
    painter.drawPolygon(bar(root, end, width));
    circle(painter, end, width / 2);
}

// Tan with a white tip, held up like a hound's.
void drawTail(QPainter& painter, DogFigure const& figure, Coat const& coat)
{
    QPointF const root = figure.tail.front();
    QPointF const tip = figure.tail.back();
    QPointF const along = tip - root;
    double const distance = std::max(std::hypot(along.x(), along.y()), 1e-6);
    QPointF const normal = QPointF(-along.y(), along.x()) / distance * (figure.tailRootWidth / 2);
    painter.setBrush(coat.tan);
    painter.drawPolygon(triangle(root + normal, tip, root - normal));
    constexpr double whiteFrom = 0.6;
    QPointF const start = root + along * whiteFrom;
    painter.setBrush(coat.white);
    painter.drawPolygon(triangle(start + normal * (1 - whiteFrom), tip, start - normal * (1 - whiteFrom)));
}

}

Proportions GeoRenderer::proportions() const
{
    Proportions build;
    build.earDroop = 0.85;
    build.earLength = 0.9;
    build.muzzleLength = 19;
    build.muzzleDepth = 14.5;
    build.legWidth = 1.2;
    return build;
}

QImage GeoRenderer::render(DogFigure const& figure) const
{
    QImage image = blankFrame();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(figure.placement);
    painter.setPen(Qt::NoPen);

    Coat const coat = Coat::of(figure.pallor);
    if (figure.bowl) {
        painter.setBrush(bowlInside);
        painter.drawPath(FigurePart::bowlHollow(*figure.bowl));
    }
    painter.setBrush(pileColour);
    for (auto const& lump : figure.pile)
        painter.drawEllipse(lump.centre, lump.rx, lump.ry);

    for (auto const& part : FigurePart::inPaintOrder(figure)) {
        switch (part.kind) {
        case FigurePart::Kind::farLeg:
            drawLeg(painter, figure, *part.leg, coat.farTan);
            break;
        case FigurePart::Kind::nearLeg:
            drawLeg(painter, figure, *part.leg, coat.tan);
            break;
        case FigurePart::Kind::tail:
            drawTail(painter, figure, coat);
            break;
        case FigurePart::Kind::farEar:
            drawEar(painter, figure.farEar, coat.farEar);
            break;
        case FigurePart::Kind::torso:
            drawTorso(painter, figure, coat);
            break;
        case FigurePart::Kind::head:
            drawHead(painter, figure);
            break;
        case FigurePart::Kind::nearEar:
            drawEar(painter, figure.nearEar, coat.ear);
            break;
        }
    }
    // The falling one leaves from the rump, in front of the legs.
    if (figure.dropping) {
        painter.setBrush(pileColour);
        circle(painter, figure.dropping->centre, figure.dropping->ry);
    }
    if (figure.bowl) {
        painter.setBrush(bowlColour);
        painter.drawPath(FigurePart::bowlWall(*figure.bowl));
    }
    if (figure.iceBag) {
        auto const shapes = FigurePart::iceBag(figure);
        painter.setBrush(capColour);
        painter.drawPath(shapes[1]);
        painter.setBrush(iceColour);
        painter.drawPath(shapes[0]);
    }
    return image;
}

}
