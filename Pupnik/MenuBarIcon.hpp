#pragma once

#include <QIcon>
#include <QImage>

namespace Pupnik {

// The tray icon, 20 × 18 points, at 1× and 2×: a black silhouette that the tray shows as is.
struct MenuBarIcon {
    QImage normal;
    QImage doubled;

    QIcon icon() const;
};

}
