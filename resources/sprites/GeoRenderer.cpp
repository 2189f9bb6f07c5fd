#include "GeoRenderer.hpp"

#include "FigurePart.hpp"

#include <QPainter>

#include <cmath>

namespace SpriteArt {

namespace {

// A red-brown coat with a white face and bib, so the skin stands apart from the soft one.
QColor const body(0xD9, 0x69, 0x2E);
QColor const farBody(0xA3, 0x4B, 0x1E);
QColor const earColour(0x7A, 0x34, 0x14);
QColor const farEarColour(0x5E, 0x27, 0x0E);
QColor const cream(0xFF, 0xF1, 0xDC);
QColor const dark(0x2E, 0x2A, 0x2A);
QColor const tongue(0xF0, 0x6B, 0x7A);
QColor const pileColour(0x7B, 0x4A, 0x2A);

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

void drawLeg(QPainter& painter, DogFigure const& figure, Leg leg, QColor colour)
{
    Limb const& limb = figure.legs[leg];
    painter.setBrush(colour);
    painter.drawPolygon(bar(limb.root, limb.joint, limb.jointWidth + 2));
    painter.drawPolygon(bar(limb.joint, limb.end, limb.endWidth));
    circle(painter, limb.joint, limb.jointWidth / 2 + 1);
    // A half disc standing flat on the ground.
    Ellipse const& paw = figure.paws[leg];
    QRectF const box(paw.centre.x() - paw.rx, paw.centre.y() - paw.ry, 2 * paw.rx, 4 * paw.ry);
    painter.drawChord(box, 0, 180 * 16);
}

void drawTorso(QPainter& painter, DogFigure const& figure)
{
    painter.setBrush(body);
    Limb const& neck = figure.neck;
    painter.drawPolygon(bar(neck.root, neck.end, neck.endWidth));
    circle(painter, figure.haunch.centre, figure.haunch.ry);
    circle(painter, figure.chest.centre, figure.chest.ry);
    painter.drawPolygon(bar(figure.haunch.centre + QPointF(0, figure.haunch.ry - figure.belly.ry),
        figure.chest.centre + QPointF(0, figure.chest.ry - figure.belly.ry), 2 * figure.belly.ry));
    // A cream disc on the chest.
    painter.save();
    QPainterPath chest;
    chest.addEllipse(figure.chest.centre, figure.chest.ry, figure.chest.ry);
    painter.setClipPath(chest);
    painter.setBrush(cream);
    double const c = std::cos(figure.bodyAngle);
    double const s = std::sin(figure.bodyAngle);
    circle(painter, figure.chest.centre + QPointF(18 * c - 16 * s, 18 * s + 16 * c), figure.chest.ry * 0.7);
    painter.restore();
}

void drawHead(QPainter& painter, DogFigure const& figure)
{
    QPointF const head = figure.skull.centre;
    double const tilt = figure.skull.angle;
    auto face = [&](double x, double y) {
        return head + QPointF(x * std::cos(tilt) - y * std::sin(tilt), x * std::sin(tilt) + y * std::cos(tilt));
    };
    painter.setBrush(body);
    circle(painter, head, figure.skull.rx);
    painter.setBrush(cream);
    painter.drawPolygon(QPolygonF({ face(8, -1), face(40, -1), face(40, 21), face(8, 21) }));
    painter.drawPolygon(triangle(face(40, -1), face(40, 21), face(44, 10)));

    if (figure.mouthOpen > 0.05) {
        QPolygonF const mouth = triangle(figure.mouthBack, figure.mouthFront, figure.jawTip);
        painter.setBrush(dark);
        painter.drawPolygon(mouth);
        painter.save();
        QPainterPath clip;
        clip.addPolygon(mouth);
        painter.setClipPath(clip);
        painter.setBrush(tongue);
        circle(painter, figure.tongue.centre + QPointF(0, 2), 5);
        painter.restore();
    } else {
        painter.setBrush(dark);
        painter.drawPolygon(bar(figure.mouthBack, figure.mouthFront, 2.4));
    }
    painter.setBrush(dark);
    painter.drawPolygon(triangle(face(35, -1), face(45, -1), face(40, 8)));
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

void drawEar(QPainter& painter, Ear const& ear, QColor colour)
{
    // A straight triangle needs a broader base than the curved ear to look as large.
    QPointF const widen = (ear.base2 - ear.base1) * 0.25;
    painter.setBrush(colour);
    painter.drawPolygon(triangle(ear.base1 - widen, ear.tip, ear.base2 + widen));
}

void drawTail(QPainter& painter, DogFigure const& figure)
{
    QPointF const root = figure.tail.front();
    QPointF const tip = figure.tail.back();
    QPointF const along = tip - root;
    double const distance = std::max(std::hypot(along.x(), along.y()), 1e-6);
    QPointF const normal = QPointF(-along.y(), along.x()) / distance * (figure.tailRootWidth / 2);
    painter.setBrush(body);
    painter.drawPolygon(triangle(root + normal, tip, root - normal));
}

}

QImage GeoRenderer::render(DogFigure const& figure) const
{
    QImage image = blankFrame();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(figure.placement);
    painter.setPen(Qt::NoPen);

    painter.setBrush(pileColour);
    for (auto const& lump : figure.pile)
        painter.drawEllipse(lump.centre, lump.rx, lump.ry);

    for (auto const& part : FigurePart::inPaintOrder(figure)) {
        switch (part.kind) {
        case FigurePart::Kind::farLeg:
            drawLeg(painter, figure, *part.leg, farBody);
            break;
        case FigurePart::Kind::nearLeg:
            drawLeg(painter, figure, *part.leg, body);
            break;
        case FigurePart::Kind::tail:
            drawTail(painter, figure);
            break;
        case FigurePart::Kind::farEar:
            drawEar(painter, figure.farEar, farEarColour);
            break;
        case FigurePart::Kind::torso:
            drawTorso(painter, figure);
            break;
        case FigurePart::Kind::head:
            drawHead(painter, figure);
            break;
        case FigurePart::Kind::nearEar:
            drawEar(painter, figure.nearEar, earColour);
            break;
        }
    }
    // The falling one leaves from the rump, in front of the legs.
    if (figure.dropping) {
        painter.setBrush(pileColour);
        circle(painter, figure.dropping->centre, figure.dropping->ry);
    }
    return image;
}

}
