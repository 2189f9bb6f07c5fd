#pragma once

#include "platform/Desktop/ScreenRect.hpp"

#include <QImage>
#include <QRect>
#include <functional>
#include <optional>
#include <vector>

namespace Platform {

// The desktop's screens in bottom-left coordinates: the one place that turns Qt's top-left global
// coordinates into the pet's and back. Main thread only.
class Screens {
public:
    struct Screen {
        ScreenRect frame;
        // The frame less panels and docks.
        ScreenRect visibleFrame;

        bool operator==(Screen const&) const = default;
    };

    virtual ~Screens() = default;

    // In the desktop's order; the first is the primary screen, whose top edge the coordinates flip at.
    virtual std::vector<Screen> all() const = 0;
    // The screen the user works on; nothing without screens.
    virtual std::optional<Screen> main() const = 0;
    // Called after screens come, go or change their geometry.
    virtual void setOnChange(std::function<void()> handler) = 0;
    // The pixels of an area of the desktop (the windows on it included); nothing when capture fails.
    virtual std::optional<QImage> grab(ScreenRect const& area) const = 0;

    // Between the two coordinate systems, flipped at the primary screen's top edge (none: at 0).
    QRect toTopLeft(ScreenRect const& rect) const;
    ScreenRect fromTopLeft(QRect const& rect) const;

protected:
    // Qt's top-left y of the primary screen's bottom edge, exclusive.
    virtual double flipLine() const = 0;
};

}
