#include "Pupnik/PetWindow/DrawnFrames.hpp"

#include <QPainter>

namespace Pupnik {

QImage DrawnFrames::draw(QImage const& frame, QSize size, bool mirrored, bool pixelated)
{
    if (size.isEmpty())
        return {};
    QImage drawn(size, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    if (frame.isNull())
        return drawn;
    QSizeF const fitted = QSizeF(frame.size()).scaled(QSizeF(size), Qt::KeepAspectRatio);
    QRectF const target((size.width() - fitted.width()) / 2, (size.height() - fitted.height()) / 2, fitted.width(), fitted.height());
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !pixelated);
    if (mirrored) {
        painter.translate(size.width(), 0);
        painter.scale(-1, 1);
    }
    painter.drawImage(target, frame);
    return drawn;
}

void DrawnFrames::setLook(QSize size, bool pixelated)
{
    if (size == m_size && pixelated == m_pixelated)
        return;
    m_size = size;
    m_pixelated = pixelated;
    m_drawn.clear();
    m_bytes = 0;
}

QImage const& DrawnFrames::drawn(QImage const& frame, bool mirrored)
{
    auto const key = std::make_pair(frame.cacheKey(), mirrored);
    if (auto found = m_drawn.find(key); found != m_drawn.end())
        return found->second;
    QImage image = draw(frame, m_size, mirrored, m_pixelated);
    int64_t const bytes = image.sizeInBytes();
    if (m_bytes + bytes > byteBudget) {
        m_drawn.clear();
        m_bytes = 0;
    }
    m_bytes += bytes;
    return m_drawn.emplace(key, std::move(image)).first->second;
}

void DrawnFrames::release(qint64 frame)
{
    for (bool mirrored : { false, true })
        if (auto found = m_drawn.find({ frame, mirrored }); found != m_drawn.end()) {
            m_bytes -= found->second.sizeInBytes();
            m_drawn.erase(found);
        }
}

}
