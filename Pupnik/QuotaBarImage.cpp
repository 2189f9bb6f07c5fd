#include "Pupnik/QuotaBarImage.hpp"

#include "app-core/QuotaBarStyle.hpp"

#include <QPainter>
#include <QPainterPath>

namespace Pupnik::QuotaBarImage {

namespace {

QColor shade(PupnikCore::QuotaBarColour colour)
{
    switch (colour) {
    case PupnikCore::QuotaBarColour::green:
        return QColor(52, 199, 89);
    case PupnikCore::QuotaBarColour::gray:
        return QColor(142, 142, 147);
    case PupnikCore::QuotaBarColour::orange:
        break;
    }
    return QColor(255, 149, 0);
}

}

QImage draw(std::string_view source, double fraction, QColor const& textColour, int scale)
{
    using namespace PupnikCore::QuotaBarStyle;
    scale = std::max(scale, 1);
    QImage image(int(width) * scale, int(height) * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // A faint track that reads on light and dark menus alike, as a quaternary label colour does.
    QColor track = textColour;
    track.setAlphaF(0.16f);
    painter.setBrush(track);
    painter.drawRoundedRect(QRectF(0, 0, width, height), cornerRadius, cornerRadius);
    if (auto const fill = fillWidth(fraction)) {
        painter.setBrush(shade(colour(source)));
        painter.drawRoundedRect(QRectF(0, 0, *fill, height), cornerRadius, cornerRadius);
    }
    painter.end();
    return image;
}

}
