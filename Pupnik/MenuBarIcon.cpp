#include "Pupnik/MenuBarIcon.hpp"

#include <QPixmap>

#include <algorithm>

namespace Pupnik {

QIcon MenuBarIcon::icon() const
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(normal));
    icon.addPixmap(QPixmap::fromImage(doubled));
    return icon;
}

QImage MenuBarIcon::tinted(QImage const& image, QColor const& colour)
{
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    QRgb const paint = colour.rgb();
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            QRgb const pixel = line[x];
            // Only the black of the silhouette is painted; the badge's colour is never this dark.
            if (qAlpha(pixel) > 0 && std::max({ qRed(pixel), qGreen(pixel), qBlue(pixel) }) < 48)
                line[x] = qRgba(qRed(paint), qGreen(paint), qBlue(paint), qAlpha(pixel));
        }
    }
    return result.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}
