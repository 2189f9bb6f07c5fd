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
QRgb const lightFur = qRgb(0xF4, 0xD3, 0x9A);
QRgb const tongue = qRgb(0xE4, 0x66, 0x76);
QRgb const white = qRgb(0xFF, 0xFF, 0xFF);
QRgb const pileColour = qRgb(0x6E, 0x44, 0x24);
QRgb const bowlColour = qRgb(0x3C, 0x7E, 0xC8);
QRgb const bowlInside = qRgb(0x1F, 0x4C, 0x80);
QRgb const iceColour = qRgb(0x86, 0xCC, 0xF0);
QRgb const capColour = qRgb(0xDC, 0x48, 0x3C);
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
    double grow = 0, std::vector<QPainterPath> const& lightShapes = {}, QRgb light = lightFur)
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
        // A tongue of two by two cells lolling on the jaw, never one light cell that reads as a tooth.
        if (figure.mouthOpen > 0.3) {
            QPoint const at = cellAt(placement, (figure.mouthBack + figure.mouthFront + figure.jawTip) / 3 + QPointF(0, 1));
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx)
                    setCell(canvas, at + QPoint(dx, dy), tongue);
            }
        }
    } else {
        QPoint const back = cellAt(placement, figure.mouthBack);
        QPoint const front = cellAt(placement, figure.mouthFront);
        for (int x = std::min(back.x(), front.x()); x <= std::max(back.x(), front.x()); ++x)
            setCell(canvas, { x, front.y() }, outline);
    }
    if (figure.lickingTongue) {
        QPoint const at = cellAt(placement, figure.lickingTongue->centre);
        setCell(canvas, at, tongue);
        setCell(canvas, at + QPoint(0, 1), tongue);
        if (figure.lickingTongue->ry > 4)
            setCell(canvas, at + QPoint(1, 0), tongue);
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

Proportions PixelRenderer::proportions() const
{
    Proportions build;
    build.earLength = 0.68;
    build.muzzleLength = 15.5;
    build.muzzleDepth = 14.5;
    build.legWidth = 1.5;
    return build;
}

QImage PixelRenderer::render(DogFigure const& figure) const
{
    QImage canvas = blankGrid();
    QTransform const& placement = figure.placement;
    auto ill = [&](QRgb colour) { return sickly(QColor(colour), figure.pallor).rgb(); };
    QRgb const coat = ill(fur);
    QRgb const coatShade = ill(shade);
    QRgb const coatLight = ill(lightFur);
    if (figure.bowl)
        drawLayer(canvas, placement, { FigurePart::bowlHollow(*figure.bowl) }, bowlInside, cell);

    std::vector<QPainterPath> pile;
    for (auto const& lump : figure.pile)
        pile.push_back(FigurePart::ellipse(lump));
    if (!pile.empty())
        drawLayer(canvas, placement, pile, pileColour);

    for (auto const& part : FigurePart::inPaintOrder(figure)) {
        switch (part.kind) {
        case FigurePart::Kind::farLeg:
            drawLayer(canvas, placement, part.shapes, coatShade, legGrowth);
            break;
        case FigurePart::Kind::farEar:
        case FigurePart::Kind::nearEar:
            drawLayer(canvas, placement, part.shapes, coatShade, 2);
            break;
        case FigurePart::Kind::head:
            drawLayer(canvas, placement, { FigurePart::ellipse(figure.skull) }, coat, 0, { FigurePart::ellipse(figure.muzzle) },
                coatLight);
            drawFace(canvas, figure);
            break;
        case FigurePart::Kind::tail:
        case FigurePart::Kind::nearLeg:
            drawLayer(canvas, placement, part.shapes, coat, legGrowth);
            break;
        case FigurePart::Kind::torso:
            drawLayer(canvas, placement, part.shapes, coat);
            break;
        }
    }
    // The falling one leaves from the rump, in front of the legs.
    if (figure.dropping)
        drawLayer(canvas, placement, { FigurePart::ellipse(*figure.dropping) }, pileColour);
    // The props grow by a cell, or their outline would leave no colour inside.
    if (figure.bowl)
        drawLayer(canvas, placement, { FigurePart::bowlWall(*figure.bowl) }, bowlColour, cell);
    if (figure.iceBag) {
        auto const shapes = FigurePart::iceBag(figure);
        drawLayer(canvas, placement, { shapes[1] }, capColour, cell);
        drawLayer(canvas, placement, { shapes[0] }, iceColour, cell);
    }
    return canvas.scaled(frameWidth, frameHeight, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}
