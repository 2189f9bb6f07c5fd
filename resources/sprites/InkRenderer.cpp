#include "InkRenderer.hpp"

#include "FigurePart.hpp"

#include <QPainter>

#include <cmath>

namespace SpriteArt {

namespace {

QColor const ink(0x16, 0x16, 0x16);
QColor const paper(0xFF, 0xFF, 0xFF);
QColor const wash(0xD4, 0xD4, 0xD4);
constexpr double heavy = 2.3;
constexpr double light = 2.4;

void drawPiece(QPainter& painter, std::vector<QPainterPath> const& shapes, QColor fill)
{
    SkinRenderer::outlineAndFill(painter, shapes, ink, heavy, fill);
}

QPen detailPen(double width = light)
{
    return QPen(ink, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPointF onBody(DogFigure const& figure, QPointF origin, double x, double y)
{
    double const c = std::cos(figure.bodyAngle);
    double const s = std::sin(figure.bodyAngle);
    return origin + QPointF(x * c - y * s, x * s + y * c);
}

void drawTorsoLines(QPainter& painter, DogFigure const& figure)
{
    painter.setBrush(Qt::NoBrush);
    painter.setPen(detailPen());
    // The front of the thigh, curving down the haunch.
    QPointF const haunch = figure.haunch.centre;
    QPainterPath thigh;
    thigh.moveTo(onBody(figure, haunch, 8, -16));
    thigh.quadTo(onBody(figure, haunch, 20, 0), onBody(figure, haunch, 12, 20));
    painter.drawPath(thigh);
    // A few ticks of fur on the chest.
    QPointF const chest = figure.chest.centre;
    for (int tick = 0; tick < 3; ++tick) {
        QPointF const start = onBody(figure, chest, 14 + 3 * tick, 6 + 6 * tick);
        painter.drawLine(start, start + QPointF(4, 3));
    }
}

void drawHead(QPainter& painter, DogFigure const& figure)
{
    drawPiece(painter, { FigurePart::ellipse(figure.skull), FigurePart::ellipse(figure.muzzle) },
        SkinRenderer::sickly(paper, figure.pallor));
    // The jowl: a short fold of the lip behind the corner of the mouth, turned with the head.
    // Running down from under the eye instead, it reads as a tear.
    double const tilt = figure.skull.angle;
    auto fromCorner = [&](double back, double down) {
        return figure.mouthBack + QPointF(-back * std::cos(tilt) - down * std::sin(tilt), -back * std::sin(tilt) + down * std::cos(tilt));
    };
    QPainterPath jowl;
    jowl.moveTo(fromCorner(-1, -0.5));
    jowl.quadTo(fromCorner(4.5, -2), fromCorner(6.5, 2.5));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(detailPen(1.8));
    painter.drawPath(jowl);

    if (figure.mouthOpen > 0.05) {
        QPainterPath const mouth = FigurePart::mouth(figure);
        painter.setPen(detailPen());
        painter.setBrush(ink);
        painter.drawPath(mouth);
        // Grey, not white: a white shape in a black mouth reads as teeth. It lolls over the jaw.
        painter.setPen(detailPen(1.6));
        painter.setBrush(wash);
        painter.drawPath(FigurePart::ellipse(figure.tongue));
    } else {
        QPainterPath lips;
        lips.moveTo(figure.mouthBack);
        lips.quadTo((figure.mouthBack + figure.mouthFront) / 2 + QPointF(0, 3), figure.mouthFront);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(detailPen());
        painter.drawPath(lips);
    }
    if (figure.lickingTongue) {
        painter.setPen(detailPen(1.8));
        painter.setBrush(wash);
        painter.drawPath(FigurePart::ellipse(*figure.lickingTongue));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawPath(FigurePart::ellipse(figure.nose));
    if (figure.eyeOpen < 0.3) {
        QPainterPath lid;
        QPointF const centre = figure.eye.centre;
        lid.moveTo(centre + QPointF(-5, 0));
        lid.quadTo(centre + QPointF(0, 3), centre + QPointF(5, 0));
        painter.setBrush(Qt::NoBrush);
        painter.setPen(detailPen());
        painter.drawPath(lid);
        return;
    }
    painter.drawPath(FigurePart::eye(figure));
    if (figure.eyeOpen < 0.8) {
        // The lid's edge across a drowsy eye.
        double const radius = figure.eye.rx;
        double const lid = figure.eye.centre.y() + radius * (1 - 2 * figure.eyeOpen);
        painter.setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(figure.eye.centre.x() - radius - 0.5, lid), QPointF(figure.eye.centre.x() + radius + 0.5, lid));
        painter.setPen(Qt::NoPen);
    }
    if (figure.eyeOpen > 0.5) {
        painter.save();
        painter.setClipPath(FigurePart::eye(figure), Qt::IntersectClip);
        painter.setBrush(paper);
        painter.drawEllipse(figure.eye.centre + QPointF(1.4, -1.6), 1.7, 1.7);
        painter.restore();
    }
}

}

QImage InkRenderer::render(DogFigure const& figure) const
{
    QImage image = blankFrame();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(figure.placement);

    if (figure.bowl) {
        painter.setPen(detailPen(heavy));
        painter.setBrush(wash);
        painter.drawPath(FigurePart::bowlHollow(*figure.bowl));
    }
    QColor const coat = sickly(paper, figure.pallor);
    QColor const farCoat = sickly(wash, figure.pallor);

    std::vector<QPainterPath> pile;
    for (auto const& lump : figure.pile)
        pile.push_back(FigurePart::ellipse(lump));
    if (!pile.empty())
        drawPiece(painter, pile, wash);

    for (auto const& part : FigurePart::inPaintOrder(figure)) {
        switch (part.kind) {
        case FigurePart::Kind::farLeg:
        case FigurePart::Kind::farEar:
            drawPiece(painter, part.shapes, farCoat);
            break;
        case FigurePart::Kind::torso:
            drawPiece(painter, part.shapes, coat);
            drawTorsoLines(painter, figure);
            break;
        case FigurePart::Kind::head:
            drawHead(painter, figure);
            break;
        case FigurePart::Kind::tail:
        case FigurePart::Kind::nearLeg:
        case FigurePart::Kind::nearEar:
            drawPiece(painter, part.shapes, coat);
            break;
        }
    }
    // The falling one leaves from the rump, in front of the legs.
    if (figure.dropping)
        drawPiece(painter, { FigurePart::ellipse(*figure.dropping) }, wash);
    if (figure.bowl)
        drawPiece(painter, { FigurePart::bowlWall(*figure.bowl) }, paper);
    if (figure.iceBag) {
        auto const shapes = FigurePart::iceBag(figure);
        drawPiece(painter, { shapes[1] }, ink);
        drawPiece(painter, { shapes[0] }, paper);
        // A few short strokes of cold across the bag.
        Ellipse const& bag = *figure.iceBag;
        painter.setPen(detailPen(1.6));
        for (double along : { -0.45, 0.0, 0.45 }) {
            QPointF const centre = bag.centre + QPointF(std::cos(bag.angle), std::sin(bag.angle)) * along * bag.rx;
            painter.drawLine(centre + QPointF(-1.5, -3), centre + QPointF(1.5, 3));
        }
    }
    return image;
}

}
