#include "SoftRenderer.hpp"

#include "FigurePart.hpp"

#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace SpriteArt {

namespace {

QColor const fur(0xE3, 0xA7, 0x5F);
QColor const farFur = fur.darker(122);
QColor const earFur(0xB8, 0x76, 0x3A);
QColor const cream(0xF8, 0xE4, 0xC0);
QColor const dark(0x3A, 0x27, 0x1E);
QColor const mouthInside(0x6E, 0x2C, 0x2A);
QColor const tongue(0xE8, 0x74, 0x7E);
QColor const pileBrown(0x7C, 0x50, 0x2E);
QColor const bowlBlue(0x3F, 0x7C, 0xC4);
QColor const bowlHollow(0x24, 0x4A, 0x7A);
QColor const iceBlue(0x7F, 0xC4, 0xEC);
QColor const capRed(0xD8, 0x4A, 0x3C);
constexpr double outlineWidth = 3;

QColor outlineOf(QColor fill)
{
    return fill.darker(150);
}

QRectF boundsOf(std::vector<QPainterPath> const& shapes)
{
    QRectF bounds;
    for (auto const& shape : shapes)
        bounds |= shape.boundingRect();
    return bounds;
}

// Lighter on top, darker underneath, over the height of the piece.
QBrush shaded(QColor colour, QRectF bounds)
{
    QLinearGradient gradient(bounds.topLeft(), bounds.bottomLeft());
    gradient.setColorAt(0, colour.lighter(112));
    gradient.setColorAt(1, colour.darker(114));
    return gradient;
}

void drawPiece(QPainter& painter, std::vector<QPainterPath> const& shapes, QColor colour)
{
    SkinRenderer::outlineAndFill(painter, shapes, outlineOf(colour), outlineWidth, shaded(colour, boundsOf(shapes)));
}

void drawTorso(QPainter& painter, DogFigure const& figure, std::vector<QPainterPath> const& shapes)
{
    drawPiece(painter, shapes, SkinRenderer::sickly(fur, figure.pallor));
    // A cream bib on the front of the chest.
    painter.save();
    painter.setClipPath(FigurePart::ellipse(figure.chest));
    Ellipse bib = figure.chest;
    bib.centre += QPointF(std::cos(figure.bodyAngle) * 16 - std::sin(figure.bodyAngle) * 14,
        std::sin(figure.bodyAngle) * 16 + std::cos(figure.bodyAngle) * 14);
    bib.rx *= 0.7;
    bib.ry *= 0.75;
    painter.setPen(Qt::NoPen);
    painter.setBrush(SkinRenderer::sickly(cream, figure.pallor));
    painter.drawPath(FigurePart::ellipse(bib));
    painter.restore();
}

void drawHead(QPainter& painter, DogFigure const& figure)
{
    QPainterPath const skull = FigurePart::ellipse(figure.skull);
    QPainterPath const muzzle = FigurePart::ellipse(figure.muzzle);
    QColor const coat = SkinRenderer::sickly(fur, figure.pallor);
    SkinRenderer::outlineAndFill(painter, { skull, muzzle }, outlineOf(coat), outlineWidth, Qt::NoBrush);
    painter.setPen(Qt::NoPen);
    painter.setBrush(shaded(coat, skull.boundingRect()));
    painter.drawPath(skull);
    painter.setBrush(shaded(SkinRenderer::sickly(cream, figure.pallor), muzzle.boundingRect()));
    painter.drawPath(muzzle);
}

void drawFace(QPainter& painter, DogFigure const& figure)
{
    painter.setPen(Qt::NoPen);
    if (figure.mouthOpen > 0.05) {
        QPainterPath const mouth = FigurePart::mouth(figure);
        painter.setBrush(mouthInside);
        painter.setPen(QPen(outlineOf(fur), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(mouth);
        // Lolling over the lower jaw.
        painter.setPen(QPen(tongue.darker(140), 1.6));
        painter.setBrush(tongue);
        painter.drawPath(FigurePart::ellipse(figure.tongue));
    } else {
        QPainterPath lips;
        lips.moveTo(figure.mouthBack);
        lips.quadTo((figure.mouthBack + figure.mouthFront) / 2 + QPointF(0, 3), figure.mouthFront);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(outlineOf(fur), 2.2, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(lips);
    }
    if (figure.lickingTongue) {
        painter.setPen(QPen(tongue.darker(140), 1.6));
        painter.setBrush(tongue);
        painter.drawPath(FigurePart::ellipse(*figure.lickingTongue));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(dark);
    painter.drawPath(FigurePart::ellipse(figure.nose));
    painter.setBrush(QColor(255, 255, 255, 150));
    painter.drawEllipse(figure.nose.centre + QPointF(-1.5, -1.6), 1.6, 1.2);

    if (figure.eyeOpen < 0.3) {
        QPainterPath lid;
        QPointF const centre = figure.eye.centre;
        lid.moveTo(centre + QPointF(-5, 0));
        lid.quadTo(centre + QPointF(0, 3), centre + QPointF(5, 0));
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(dark, 2.4, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(lid);
        return;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(dark);
    painter.drawPath(FigurePart::eye(figure));
    if (figure.eyeOpen < 0.8) {
        // The lid's edge across a drowsy eye.
        double const radius = figure.eye.rx;
        double const lid = figure.eye.centre.y() + radius * (1 - 2 * figure.eyeOpen);
        painter.setPen(QPen(dark, 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(figure.eye.centre.x() - radius - 0.5, lid), QPointF(figure.eye.centre.x() + radius + 0.5, lid));
        painter.setPen(Qt::NoPen);
    }
    if (figure.eyeOpen > 0.5) {
        painter.save();
        painter.setClipPath(FigurePart::eye(figure), Qt::IntersectClip);
        painter.setBrush(Qt::white);
        painter.drawEllipse(figure.eye.centre + QPointF(1.4, -1.6), 1.7, 1.7);
        painter.restore();
    }
}

}

QImage SoftRenderer::render(DogFigure const& figure) const
{
    QImage image = blankFrame();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(figure.placement);

    if (figure.bowl) {
        painter.setPen(QPen(bowlHollow.darker(130), 2));
        painter.setBrush(bowlHollow);
        painter.drawPath(FigurePart::bowlHollow(*figure.bowl));
    }
    QColor const coat = sickly(fur, figure.pallor);
    QColor const farCoat = sickly(farFur, figure.pallor);
    QColor const ears = sickly(earFur, figure.pallor);

    std::vector<QPainterPath> pile;
    for (auto const& lump : figure.pile)
        pile.push_back(FigurePart::ellipse(lump));
    if (!pile.empty())
        drawPiece(painter, pile, pileBrown);

    for (auto const& part : FigurePart::inPaintOrder(figure)) {
        switch (part.kind) {
        case FigurePart::Kind::farLeg:
            drawPiece(painter, part.shapes, farCoat);
            break;
        case FigurePart::Kind::farEar:
            drawPiece(painter, part.shapes, ears.darker(118));
            break;
        case FigurePart::Kind::nearEar:
            drawPiece(painter, part.shapes, ears);
            break;
        case FigurePart::Kind::torso:
            drawTorso(painter, figure, part.shapes);
            break;
        case FigurePart::Kind::head:
            drawHead(painter, figure);
            drawFace(painter, figure);
            break;
        case FigurePart::Kind::tail:
        case FigurePart::Kind::nearLeg:
            drawPiece(painter, part.shapes, coat);
            break;
        }
    }
    // The falling one leaves from the rump, in front of the legs.
    if (figure.dropping)
        drawPiece(painter, { FigurePart::ellipse(*figure.dropping) }, pileBrown);
    if (figure.bowl) {
        drawPiece(painter, { FigurePart::bowlWall(*figure.bowl) }, bowlBlue);
    }
    if (figure.iceBag) {
        auto const shapes = FigurePart::iceBag(figure);
        drawPiece(painter, { shapes[1] }, capRed);
        drawPiece(painter, { shapes[0] }, iceBlue);
    }
    return image;
}

}
