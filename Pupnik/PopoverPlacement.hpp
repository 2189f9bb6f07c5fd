#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace Pupnik::PopoverPlacement {

// Where a popup of the given size goes beside an anchor, all in global top-left coordinates: centred
// over the anchor and above it, below it when there is no room above, and kept on the screen's
// available area. When it fits on neither side it takes the side with more room.
QPoint topLeft(QRect const& anchor, QSize size, QRect const& screen, int gap);

}
