#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QMouseEvent;

namespace Pupnik {

class PetClickReceiver;
class PetView;

// What the pet controller needs of the pet's window: the real panel on the desktop, a fake in tests.
// Frames are Qt's top-left global coordinates; the controller converts through its screens.
class PetSurface {
public:
    virtual ~PetSurface() = default;

    virtual QRect frame() const = 0;
    // Redisplay is wanted only when the size changes; moving the window repaints nothing.
    virtual void setFrame(QRect const& frame, bool redisplay) = 0;
    virtual void showImage(QImage const& image) = 0;
    virtual void setMirrored(bool mirrored) = 0;
    // Nearest-neighbour scaling instead of smooth.
    virtual void setPixelated(bool pixelated) = 0;
    // The clip in force, so a window that keeps frames ready prepares them once.
    virtual void loadFrames(std::vector<QImage> const&) { }
    // Frames no longer wanted: their clip left the sprite store.
    virtual void releaseFrames(std::vector<QImage> const&) { }
    // Sends what was asked of the window since the last call, all together.
    virtual void flush() { }
    virtual void setKeptAbove(bool above) = 0;
    // Shows the window without activating anything.
    virtual void orderFront() = 0;
    virtual void orderOut() = 0;
    virtual std::optional<std::string> toolTip() const = 0;
    virtual void setToolTip(std::optional<std::string> const& text) = 0;
    // The native window's id; 0 before it has one.
    virtual uint64_t windowId() const = 0;
    // The window's own pixels; nothing when it cannot be captured.
    virtual std::optional<QImage> grabWindow() = 0;
    // The view that popovers and menus anchor on; none in tests.
    virtual PetView* view() = 0;
    // Brings the window system's idea of where the window stands up to date, for what reads the
    // view's place from there; a window moved outside it may have let it lag.
    virtual void syncPlace() { }

    std::function<void()> onDragBegan;
    std::function<void(QRect const&)> onDragEnded;
    // Where clicks on the pet go; none drops them.
    virtual void setClickReceiver(PetClickReceiver* receiver) { m_clickReceiver = receiver; }
    PetClickReceiver* clickReceiver() const { return m_clickReceiver; }

private:
    PetClickReceiver* m_clickReceiver { nullptr };
};

}
