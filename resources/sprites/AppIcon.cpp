#include "AppIcon.hpp"

#include "ClipSpec.hpp"
#include "SpriteDirectoryWriter.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <stdexcept>

namespace SpriteArt {

namespace {

// The smallest rectangle holding every pixel that is not transparent.
QRect opaqueBounds(QImage const& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        auto const* line = reinterpret_cast<QRgb const*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) > 8)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

}

QImage AppIcon::draw()
{
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    // A cool tile sets the tan dog off; its light rim reads on light and dark panels alike.
    QRectF const tile(8, 8, size - 16, size - 16);
    QRadialGradient fill(tile.center() - QPointF(0, size * 0.12), size * 0.62);
    fill.setColorAt(0, QColor(0xE4, 0xF4, 0xFF));
    fill.setColorAt(1, QColor(0x7F, 0xBC, 0xEC));
    painter.setPen(QPen(QColor(0xF6, 0xFB, 0xFF), 6));
    painter.setBrush(fill);
    painter.drawRoundedRect(tile, 52, 52);

    auto const& idle = clipNamed("idle");
    QImage const frame = SpriteDirectoryWriter::frame("soft", idle, SpriteDirectoryWriter::stillFrame(idle));
    QRect const dog = opaqueBounds(frame);
    if (dog.isEmpty())
        throw std::runtime_error("the idle frame is empty");
    QSizeF const room(tile.width() * 0.80, tile.height() * 0.72);
    QSizeF const drawn = QSizeF(dog.size()).scaled(room, Qt::KeepAspectRatio);
    // Standing on the tile's lower part, as on the ground.
    QRectF const target(tile.center().x() - drawn.width() / 2, tile.bottom() - tile.height() * 0.12 - drawn.height(),
        drawn.width(), drawn.height());

    QRectF const shadow(target.left() + target.width() * 0.1, target.bottom() - 8, target.width() * 0.8, 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1E, 0x4A, 0x78, 70));
    painter.drawEllipse(shadow);
    painter.drawImage(target, frame, dog);
    return icon;
}

void AppIcon::write(std::filesystem::path const& file)
{
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path());
    if (!draw().save(QString::fromStdString(file.string()), "PNG"))
        throw std::runtime_error("cannot write " + file.string());
}

}
