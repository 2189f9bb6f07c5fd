#pragma once

#include <QByteArray>
#include <QWindow>
#include <vector>

namespace Platform {

// Window-manager hints that Qt's window flags do not give, set through libX11 on an X11 session.
namespace X11WindowHints {

enum class Outcome {
    applied,
    // The window is not on screen yet; ask again once it is shown.
    notShown,
    // Not an X11 session (offscreen, Wayland without XWayland) or no native window.
    unsupported,
};

// Present on every desktop, not listed in taskbars and pagers (_NET_WM_STATE_STICKY,
// _NET_WM_STATE_SKIP_TASKBAR, _NET_WM_STATE_SKIP_PAGER, _NET_WM_DESKTOP 0xFFFFFFFF). Sets the
// properties an unmapped window is read by and asks the window manager for what a mapped one
// lacks, so it may be called before the window is shown and again whenever it is exposed (window
// managers drop these properties when a window is hidden, sometimes after it is shown again).
Outcome showOnAllDesktopsUnlisted(QWindow* window);

// Raises a shown window above ordinary ones or lets it sink among them (_NET_WM_STATE_ABOVE),
// without the unmap and remap a change of Qt's flags would cost. Only asked of a mapped window:
// some window managers (icewm) never let go of a state a window was mapped with.
Outcome setKeptAbove(QWindow* window, bool above);
bool isKeptAbove(QWindow* window);

// Whether the window manager has let go of a hidden window (its WM_STATE is gone or withdrawn).
// Mapping a window again before that races the window manager's own withdrawal, which some
// (icewm) finish after the new map, leaving the window unmapped. True without X11.
bool isWithdrawn(QWindow* window);

// Whether a compositing manager draws the screen, so translucent windows blend with what is below;
// without one their transparent pixels show black. False without X11.
bool hasCompositingManager(QWindow* window);
// The same before any window exists.
bool hasCompositingManager();

// The states the window carries now, for checks: the atom names of its _NET_WM_STATE.
std::vector<QByteArray> states(QWindow* window);

}

}
