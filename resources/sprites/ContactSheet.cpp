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

QImage ContactSheet::of(std::string_view skin, int cellHeight, std::string_view onlyClip)
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
            QImage const frame = renderer->render(SpriteDirectoryWriter::figure(*renderer, clip, index));
            painter.drawImage(cell, frame.scaled(cellWidth, cellHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        }
        row += (clip.frames + columns - 1) / columns;
    }
    return sheet;
}

void ContactSheet::writeAll(std::filesystem::path const& folder, int cellHeight, std::string_view onlyClip, unsigned threads)
{
    std::filesystem::create_directories(folder);
    SpriteDirectoryWriter::forEach(int(allSkins.size()), threads, [&](int index) {
        std::string_view const skin = allSkins[std::size_t(index)];
        std::filesystem::path const path = folder / (std::string(skin) + ".png");
        if (!of(skin, cellHeight, onlyClip).save(QString::fromStdString(path.string()), "PNG"))
            throw std::runtime_error("cannot write " + path.string());
    });
}

}
