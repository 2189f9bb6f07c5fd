#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <map>
#include <utility>

namespace Pupnik {

// Frames as the pet's window shows them: fitted to the window's size keeping their proportions,
// centred, mirrored for the other facing, each drawn once and then painted by a plain copy.
class DrawnFrames final {
public:
    // Beyond it the kept frames are dropped and drawn again as they come.
    static constexpr int64_t byteBudget = 32 << 20;

    // The frame at the size, cleared around it; nearest-neighbour scaling when pixelated.
    static QImage draw(QImage const& frame, QSize size, bool mirrored, bool pixelated);

    // Another size or pixelation drops what was drawn for the last one.
    void setLook(QSize size, bool pixelated);
    QImage const& drawn(QImage const& frame, bool mirrored);
    void release(qint64 frame);
    size_t count() const { return m_drawn.size(); }

private:
    QSize m_size;
    bool m_pixelated { false };
    int64_t m_bytes { 0 };
    std::map<std::pair<qint64, bool>, QImage> m_drawn;
};

}
