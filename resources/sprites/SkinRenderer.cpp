#include "SkinRenderer.hpp"

#include "ClipSpec.hpp"
#include "GeoRenderer.hpp"
#include "InkRenderer.hpp"
#include "PixelRenderer.hpp"
#include "SoftRenderer.hpp"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace SpriteArt {

std::unique_ptr<SkinRenderer> SkinRenderer::forSkin(std::string_view skin)
{
    if (skin == "soft")
        return std::make_unique<SoftRenderer>();
    if (skin == "pixel")
        return std::make_unique<PixelRenderer>();
    if (skin == "ink")
        return std::make_unique<InkRenderer>();
    if (skin == "geo")
        return std::make_unique<GeoRenderer>();
    throw std::invalid_argument("no skin named " + std::string(skin));
}

QImage SkinRenderer::blankFrame()
{
    QImage image(frameWidth, frameHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QColor SkinRenderer::sickly(QColor colour, double pallor)
{
    // Towards a washed-out sage; dark outlines keep most of their darkness so the dog still reads.
    QColor const ill(0xB4, 0xD2, 0x8C);
    double const share = 0.85 * std::clamp(pallor, 0.0, 1.0) * colour.lightnessF();
    auto mix = [&](int from, int to) { return int(std::lround(from + (to - from) * share)); };
    return QColor(mix(colour.red(), ill.red()), mix(colour.green(), ill.green()), mix(colour.blue(), ill.blue()), colour.alpha());
}

void SkinRenderer::outlineAndFill(QPainter& painter, std::vector<QPainterPath> const& shapes, QColor outline,
    double outlineWidth, QBrush const& fill)
{
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(outline, 2 * outlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (auto const& shape : shapes)
        painter.drawPath(shape);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    for (auto const& shape : shapes)
        painter.drawPath(shape);
}

}
