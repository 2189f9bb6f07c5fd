#include "ContactSheet.hpp"

#include "ClipSpec.hpp"
#include "SkinRenderer.hpp"
#include "SpriteDirectoryWriter.hpp"

#include <QPainter>
#include <QString>

#include <stdexcept>
#include <string>
#include <vector>

namespace SpriteArt {

namespace {

// The band roughly as the application draws it, to see that it follows the neck.
void drawCollar(QPainter& painter, QRect cell, CollarBand const& band)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(cell.topLeft());
    painter.scale(double(cell.width()) / frameWidth, double(cell.height()) / frameHeight);
    painter.translate(band.x, band.y);
    painter.rotate(band.angle * 180 / 3.141592653589793);
    painter.setPen(QPen(QColor(42, 33, 28), 1.8));
    painter.setBrush(QColor(206, 100, 32));
    painter.drawRoundedRect(QRectF(-band.w / 2, -band.h / 2, band.w, band.h), band.h / 2, band.h / 2);
    painter.restore();
}

}

QImage ContactSheet::of(std::string_view skin, int cellHeight, std::string_view onlyClip, bool withCollar)
{
    int const cellWidth = cellHeight * frameWidth / frameHeight;
    constexpr int gap = 2;
    std::vector<ClipSpec> clips;
    for (auto const& clip : allClips) {
        if (onlyClip.empty() || clip.name == onlyClip)
            clips.push_back(clip);
    }
    if (clips.empty())
        throw std::runtime_error("no clip named " + std::string(onlyClip));
    // A single clip is looked at closer, so in fewer columns.
    int const columns = onlyClip.empty() ? ContactSheet::columns : 5;
    int rows = 0;
    for (auto const& clip : clips)
        rows += (clip.frames + columns - 1) / columns;
    QImage sheet(columns * (cellWidth + gap) + gap, rows * (cellHeight + gap) + gap, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0x70, 0x70, 0x78));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    auto const renderer = SkinRenderer::forSkin(skin);
    int row = 0;
    int clipNumber = 0;
    for (auto const& clip : clips) {
        // Clips take turns between a light and a dark backdrop, which also shows both kinds of desktop.
        QColor const backdrop = clipNumber++ % 2 == 0 ? QColor(0xEE, 0xEE, 0xE8) : QColor(0x3A, 0x3C, 0x44);
        for (int index = 0; index < clip.frames; ++index) {
            QRect const cell(gap + (index % columns) * (cellWidth + gap), gap + (row + index / columns) * (cellHeight + gap),
                cellWidth, cellHeight);
            painter.fillRect(cell, backdrop);
            DogFigure const figure = SpriteDirectoryWriter::figure(*renderer, clip, index);
            QImage const frame = renderer->render(figure);
            painter.drawImage(cell, frame.scaled(cellWidth, cellHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            if (withCollar)
                drawCollar(painter, cell, figure.collar);
        }
        row += (clip.frames + columns - 1) / columns;
    }
    return sheet;
}

void ContactSheet::writeAll(std::filesystem::path const& folder, int cellHeight, std::string_view onlyClip, bool withCollar,
    unsigned threads)
{
    std::filesystem::create_directories(folder);
    SpriteDirectoryWriter::forEach(int(allSkins.size()), threads, [&](int index) {
        std::string_view const skin = allSkins[std::size_t(index)];
        std::filesystem::path const path = folder / (std::string(skin) + ".png");
        if (!of(skin, cellHeight, onlyClip, withCollar).save(QString::fromStdString(path.string()), "PNG"))
            throw std::runtime_error("cannot write " + path.string());
    });
}

}
