#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

namespace Pupnik {

// The tray icon, 20 × 18 points, at 1× and 2×: a black silhouette, recoloured for the panel, and
// the attention badge in its own colour, which reads on dark and light panels alike.
struct MenuBarIcon {
    static QColor badgeColour() { return QColor(0xe8, 0x32, 0x2b); }

    QImage normal;
    QImage doubled;

    QIcon icon() const;
    // The silhouette's black painted in the colour; the badge keeps its own.
    static QImage tinted(QImage const& image, QColor const& colour);
};

}
