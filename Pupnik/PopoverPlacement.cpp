#include "Pupnik/PopoverPlacement.hpp"

#include <algorithm>

namespace Pupnik::PopoverPlacement {

namespace {

int clamped(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}

QPoint topLeft(QRect const& anchor, QSize size, QRect const& screen, int gap)
{
    int const x = clamped(anchor.left() + anchor.width() / 2 - size.width() / 2, screen.left(), screen.right() + 1 - size.width());
    int const above = anchor.top() - gap - size.height();
    int const below = anchor.bottom() + 1 + gap;
    int y = above;
    if (above < screen.top()) {
        bool const fitsBelow = below + size.height() <= screen.bottom() + 1;
        int const roomAbove = anchor.top() - screen.top();
        int const roomBelow = screen.bottom() + 1 - (anchor.bottom() + 1);
        y = fitsBelow || roomBelow > roomAbove ? below : above;
    }
    // The screen's edge wins over the anchor: a popup that cannot be seen cannot be answered.
    y = clamped(y, screen.top(), screen.bottom() + 1 - size.height());
    return { x, y };
}

}
