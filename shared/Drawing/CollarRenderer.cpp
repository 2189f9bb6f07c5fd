#include "shared/Drawing/CollarRenderer.hpp"

#include "shared/CollarPalette.hpp"

#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace PawletShared::CollarRenderer {

namespace {

constexpr double outlineOpacity = 0.9;

QPen outlinePen(double width)
{
    QPen pen(color(CollarPalette::outline, outlineOpacity));
    pen.setWidthF(width);
    return pen;
}

}

QColor color(CollarColor const& value, double alpha)
{
    auto component = [](double part) { return std::isfinite(part) ? std::clamp(part, 0.0, 1.0) : 0.0; };
    return QColor::fromRgbF(float(component(value.red)), float(component(value.green)), float(component(value.blue)), float(component(alpha)));
}

double bandCornerRadius(double w, double h)
{
    // Round ends need half the thickness; a band shorter than it is thick rounds with half its
    // length instead, and a degenerate one does not round at all.
    double radius = std::min(w, h) / 2;
    return std::isfinite(radius) && radius > 0 ? radius : 0;
}

void draw(QPainter& painter, CollarAnchor const& anchor, CollarStyle const& style, CollarAnchors::Tag const& tag, double scale, Outline outline)
{
    double W = scale * anchor.w;
    double H = scale * anchor.h;
    if (!(W > 0 && H > 0) || !std::isfinite(W) || !std::isfinite(H) || !std::isfinite(anchor.angle))
        return;
    QColor front = color(style.frontColor());
    QColor back = color(style.backColor());

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(scale * anchor.x, scale * anchor.y);
    painter.rotate(anchor.angle * 180 / std::numbers::pi);

    double radius = bandCornerRadius(W, H);
    QPainterPath band;
    band.setFillRule(Qt::WindingFill);
    band.addRoundedRect(QRectF(-W / 2, -H / 2, W, H), radius, radius);

    // The halves reach past the band and the clip trims them, so they meet exactly at x = 0.
    painter.save();
    painter.setClipPath(band, Qt::IntersectClip);
    painter.fillRect(QRectF(-W / 2 - 1, -H, W / 2 + 1, 2 * H), front);
    painter.fillRect(QRectF(0, -H, W / 2 + 1, 2 * H), back);
    painter.restore();

    double const lineWidth = std::max(0.22 * H, 0.5);
    painter.setBrush(Qt::NoBrush);
    if (outline == Outline::onEdge) {
        // Centred on the band's edge: half outside, half inside.
        painter.setPen(outlinePen(lineWidth));
        painter.drawPath(band);
    } else if (double const half = lineWidth / 2; 2 * half < H && 2 * half < W) {
        // Stroked along a band inset by half the width, so the outline ends at the band's edge.
        QRectF inner(-W / 2 + half, -H / 2 + half, W - 2 * half, H - 2 * half);
        double innerRadius = bandCornerRadius(inner.width(), inner.height());
        painter.setPen(outlinePen(lineWidth));
        painter.drawRoundedRect(inner, innerRadius, innerRadius);
    } else {
        // Too thin for an outline and a fill inside it: the outline is all of the band.
        painter.setPen(Qt::NoPen);
        painter.setBrush(color(CollarPalette::outline, outlineOpacity));
        painter.drawPath(band);
    }

    double R = scale * tag.r;
    if (R > 0 && std::isfinite(R) && std::isfinite(tag.along) && std::isfinite(tag.side)) {
        QRectF square(-W / 2 + tag.along * W - R, tag.side * (0.55 * R + H / 2) - R, 2 * R, 2 * R);
        painter.setPen(Qt::NoPen);
        painter.setBrush(front);
        painter.drawEllipse(square);
        // The border lies inside the disc.
        double inset = std::max(0.18 * R, 0.2);
        if (inset < R) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(outlinePen(std::max(0.36 * R, 0.4)));
            painter.drawEllipse(square.adjusted(inset, inset, -inset, -inset));
        }
    }
    painter.restore();
}

}
