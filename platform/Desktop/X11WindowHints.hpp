#pragma once

#include <QByteArray>
#include <QWindow>
#include <vector>

namespace Platform {

// Window-manager hints that Qt's window flags do not give, set through libX11 on an X11 session.
namespace X11WindowHints {

enum class Outcome {
    applied,
    // Not an X11 session (offscreen, Wayland without XWayland) or no native window.
    unsupported,
};

// Present on every desktop, not listed in taskbars and pagers (_NET_WM_STATE_STICKY,
// _NET_WM_STATE_SKIP_TASKBAR, _NET_WM_STATE_SKIP_PAGER, _NET_WM_DESKTOP 0xFFFFFFFF). Sets the
// properties an unmapped window is read by and asks the window manager for a mapped one, so it
// may be called before and after the window is shown.
Outcome showOnAllDesktopsUnlisted(QWindow* window);

// Raises the window above ordinary ones or lets it sink among them (_NET_WM_STATE_ABOVE), without
// the unmap and remap a change of Qt's flags would cost.
Outcome setKeptAbove(QWindow* window, bool above);

// The states the window carries now, for checks: the atom names of its _NET_WM_STATE.
std::vector<QByteArray> states(QWindow* window);

}

}
