#include "PixelRenderer.hpp"

#include "ClipSpec.hpp"
#include "FigurePart.hpp"

#include <QPainter>

#include <cmath>

namespace SpriteArt {

namespace {

static_assert(frameWidth % PixelRenderer::cell == 0 && frameHeight % PixelRenderer::cell == 0);
constexpr int gridWidth = frameWidth / PixelRenderer::cell;
constexpr int gridHeight = frameHeight / PixelRenderer::cell;

QRgb const outline = qRgb(0x33, 0x1F, 0x14);
QRgb const fur = qRgb(0xD6, 0x8E, 0x3E);
QRgb const shade = qRgb(0xA2, 0x62, 0x2A);
QRgb const light = qRgb(0xF4, 0xD3, 0x9A);
QRgb const tongue = qRgb(0xE4, 0x66, 0x76);
QRgb const white = qRgb(0xFF, 0xFF, 0xFF);
QRgb const pileColour = qRgb(0x6E, 0x44, 0x24);
constexpr double legGrowth = 5;

QImage blankGrid()
{
    QImage grid(gridWidth, gridHeight, QImage::Format_ARGB32_Premultiplied);
    grid.fill(Qt::transparent);
    return grid;
}

// A painter on the grid that takes frame coordinates, with no smoothing.
class GridPainter final {
public:
    GridPainter(QImage& grid, QTransform const& placement)
        : m_painter(&grid)
    {
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        m_painter.setTransform(placement * QTransform::fromScale(1.0 / PixelRenderer::cell, 1.0 / PixelRenderer::cell));
        m_painter.setPen(Qt::NoPen);
    }
    QPainter& operator*() { return m_painter; }
    QPainter* operator->() { return &m_painter; }

private:
    QPainter m_painter;
};

// Every filled cell that touches an empty one (or the edge) becomes outline.
void ringWithOutline(QImage& layer)
{
    QImage const source = layer.copy();
    auto filled = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < gridWidth && y < gridHeight && qAlpha(source.pixel(x, y)) > 0;
    };
    for (int y = 0; y < gridHeight; ++y) {
        for (int x = 0; x < gridWidth; ++x) {
            if (filled(x, y) && !(filled(x - 1, y) && filled(x + 1, y) && filled(x, y - 1) && filled(x, y + 1)))
                layer.setPixel(x, y, outline);
        }
    }
}

// `grow` thickens thin pieces (frame pixels): a leg two cells wide would be nothing but outline.
void drawLayer(QImage& canvas, QTransform const& placement, std::vector<QPainterPath> const& shapes, QRgb colour,
    double grow = 0, std::vector<QPainterPath> const& lightShapes = {})
{
    QImage layer = blankGrid();
    {
        GridPainter painter(layer, placement);
        painter->setBrush(QColor(colour));
        if (grow > 0)
            painter->setPen(QPen(QColor(colour), grow, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (auto const& shape : shapes)
            painter->drawPath(shape);
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(light));
        for (auto const& shape : lightShapes)
            painter->drawPath(shape);
    }
    ringWithOutline(layer);
    QPainter painter(&canvas);
    painter.drawImage(0, 0, layer);
}

QPoint cellAt(QTransform const& placement, QPointF point)
{
    QPointF const mapped = placement.map(point) / PixelRenderer::cell;
    return { int(std::floor(mapped.x())), int(std::floor(mapped.y())) };
}

void setCell(QImage& grid, QPoint at, QRgb colour)
{
    if (grid.rect().contains(at))
        grid.setPixel(at, colour);
}

void drawFace(QImage& canvas, DogFigure const& figure)
{
    QTransform const& placement = figure.placement;
    if (figure.mouthOpen > 0.05) {
        QImage mouth = blankGrid();
        {
            GridPainter painter(mouth, placement);
            painter->setBrush(QColor(outline));
            painter->drawPath(FigurePart::mouth(figure));
        }
        QPainter painter(&canvas);
        painter.drawImage(0, 0, mouth);
        if (figure.mouthOpen > 0.3)
            setCell(canvas, cellAt(placement, figure.tongue.centre + QPointF(0, 2)), tongue);
    } else {
        QPoint const back = cellAt(placement, figure.mouthBack);
        QPoint const front = cellAt(placement, figure.mouthFront);
        for (int x = std::min(back.x(), front.x()); x <= std::max(back.x(), front.x()); ++x)
            setCell(canvas, { x, front.y() }, outline);
    }
    // The nose: two by two cells at the tip of the muzzle.
    QPoint const nose = cellAt(placement, figure.nose.centre + QPointF(-2, -2));
    for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx)
            setCell(canvas, nose + QPoint(dx, dy), outline);
    }
    // The eye: two by two dark cells with one light, or a line of two when closed.
    QPoint const eye = cellAt(placement, figure.eye.centre + QPointF(-2.5, -2.5));
    if (figure.eyeOpen < 0.5) {
        setCell(canvas, eye + QPoint(0, 1), outline);
        setCell(canvas, eye + QPoint(1, 1), outline);
        return;
    }
    setCell(canvas, eye, outline);
    setCell(canvas, eye + QPoint(1, 0), white);
    setCell(canvas, eye + QPoint(0, 1), outline);
    setCell(canvas, eye + QPoint(1, 1), outline);
}

}

QImage PixelRenderer::render(DogFigure const& figure) const
{
    QImage canvas = blankGrid();
    QTransform const& placement = figure.placement;

    std::vector<QPainterPath> pile;
    for (auto const& lump : figure.pile)
        pile.push_back(FigurePart::ellipse(lump));
    if (!pile.empty())
        drawLayer(canvas, placement, pile, pileColour);

    for (auto const& part : FigurePart::inPaintOrder(figure)) {
        switch (part.kind) {
        case FigurePart::Kind::farLeg:
            drawLayer(canvas, placement, part.shapes, shade, legGrowth);
            break;
        case FigurePart::Kind::farEar:
        case FigurePart::Kind::nearEar:
            drawLayer(canvas, placement, part.shapes, shade, 2);
            break;
        case FigurePart::Kind::head:
            drawLayer(canvas, placement, { FigurePart::ellipse(figure.skull) }, fur, 0, { FigurePart::ellipse(figure.muzzle) });
            drawFace(canvas, figure);
            break;
        case FigurePart::Kind::tail:
        case FigurePart::Kind::nearLeg:
            drawLayer(canvas, placement, part.shapes, fur, legGrowth);
            break;
        case FigurePart::Kind::torso:
            drawLayer(canvas, placement, part.shapes, fur);
            break;
        }
    }
    // The falling one leaves from the rump, in front of the legs.
    if (figure.dropping)
        drawLayer(canvas, placement, { FigurePart::ellipse(*figure.dropping) }, pileColour);
    return canvas.scaled(frameWidth, frameHeight, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}
