#include "platform/Desktop/X11WindowHints.hpp"

#include <QGuiApplication>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <optional>
#include <vector>

namespace Platform::X11WindowHints {

namespace {

// _NET_WM_STATE client message actions.
constexpr long stateRemove = 0;
constexpr long stateAdd = 1;
constexpr unsigned long allDesktops = 0xFFFFFFFF;
// Tells the window manager the request comes from an ordinary application.
constexpr long sourceApplication = 1;

struct Target {
    Display* display { nullptr };
    ::Window window { 0 };
};

std::optional<Target> targetOf(QWindow* window)
{
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::nullopt;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display())
        return std::nullopt;
    ::Window id = ::Window(window->winId());
    if (!id)
        return std::nullopt;
    return Target { x11->display(), id };
}

Atom atom(Display* display, char const* name)
{
    return XInternAtom(display, name, False);
}

// The 32-bit items of a window property of the given type, at most maxItems of them (a longer list
// is cut, never overrun); none when it is missing or of another type.
std::vector<unsigned long> longProperty(Target const& target, Atom property, Atom expectedType, long maxItems)
{
    std::vector<unsigned long> items;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(target.display, target.window, property, 0, maxItems, False, expectedType, &type, &format, &count,
            &remaining, &data)
            == Success
        && data) {
        if (type == expectedType && format == 32) {
            auto const* longs = reinterpret_cast<unsigned long const*>(data);
            items.assign(longs, longs + count);
        }
        XFree(data);
    }
    return items;
}

std::vector<Atom> currentStates(Target const& target)
{
    // 64 states is far more than any window carries.
    return longProperty(target, atom(target.display, "_NET_WM_STATE"), XA_ATOM, 64);
}

std::optional<unsigned long> desktopOf(Target const& target)
{
    auto const items = longProperty(target, atom(target.display, "_NET_WM_DESKTOP"), XA_CARDINAL, 1);
    if (items.size() != 1)
        return std::nullopt;
    return items[0] & 0xFFFFFFFFul;
}

void writeStates(Target const& target, std::vector<Atom> const& states)
{
    XChangeProperty(target.display, target.window, atom(target.display, "_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
        reinterpret_cast<unsigned char const*>(states.data()), int(states.size()));
}

void sendToWindowManager(Target const& target, Atom type, long l0, long l1, long l2, long l3)
{
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = target.window;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    XSendEvent(target.display, DefaultRootWindow(target.display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

// Before mapping the client owns the properties; afterwards the window manager does and is asked.
bool isMapped(Target const& target)
{
    XWindowAttributes attributes {};
    return XGetWindowAttributes(target.display, target.window, &attributes) && attributes.map_state != IsUnmapped;
}

void changeStates(Target const& target, std::vector<Atom> const& wanted, bool add)
{
    std::vector<Atom> states = currentStates(target);
    std::vector<Atom> changes;
    for (Atom state : wanted) {
        bool const present = std::find(states.begin(), states.end(), state) != states.end();
        if (present != add)
            changes.push_back(state);
    }
    if (changes.empty())
        return;
    if (!isMapped(target)) {
        for (Atom state : changes) {
            if (add)
                states.push_back(state);
            else
                std::erase(states, state);
        }
        writeStates(target, states);
        return;
    }
    Atom const netState = atom(target.display, "_NET_WM_STATE");
    // The message carries two states at a time.
    for (size_t i = 0; i < changes.size(); i += 2) {
        long second = i + 1 < changes.size() ? long(changes[i + 1]) : 0;
        sendToWindowManager(target, netState, add ? stateAdd : stateRemove, long(changes[i]), second, sourceApplication);
    }
}

}

Outcome showOnAllDesktopsUnlisted(QWindow* window)
{
    auto target = targetOf(window);
    if (!target)
        return Outcome::unsupported;
    Display* display = target->display;
    changeStates(*target,
        { atom(display, "_NET_WM_STATE_STICKY"), atom(display, "_NET_WM_STATE_SKIP_TASKBAR"), atom(display, "_NET_WM_STATE_SKIP_PAGER") },
        true);
    Atom const desktop = atom(display, "_NET_WM_DESKTOP");
    if (desktopOf(*target) == allDesktops) {
        // Already everywhere.
    } else if (isMapped(*target)) {
        sendToWindowManager(*target, desktop, long(allDesktops), sourceApplication, 0, 0);
    } else {
        unsigned long const every = allDesktops;
        XChangeProperty(display, target->window, desktop, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char const*>(&every), 1);
    }
    XFlush(display);
    return Outcome::applied;
}

Outcome setKeptAbove(QWindow* window, bool above)
{
    auto target = targetOf(window);
    if (!target)
        return Outcome::unsupported;
    if (!isMapped(*target))
        return Outcome::notShown;
    changeStates(*target, { atom(target->display, "_NET_WM_STATE_ABOVE") }, above);
    XFlush(target->display);
    return Outcome::applied;
}

bool isKeptAbove(QWindow* window)
{
    auto target = targetOf(window);
    if (!target)
        return false;
    auto states = currentStates(*target);
    return std::find(states.begin(), states.end(), atom(target->display, "_NET_WM_STATE_ABOVE")) != states.end();
}

bool isWithdrawn(QWindow* window)
{
    auto target = targetOf(window);
    if (!target)
        return true;
    constexpr long withdrawnState = 0;
    Atom const wmState = atom(target->display, "WM_STATE");
    auto const items = longProperty(*target, wmState, wmState, 2);
    return items.empty() || static_cast<long>(items[0]) == withdrawnState;
}

bool hasCompositingManager()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display())
        return false;
    Display* display = x11->display();
    QByteArray const selection = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    return XGetSelectionOwner(display, atom(display, selection.constData())) != None;
}

bool hasCompositingManager(QWindow* window)
{
    return targetOf(window) && hasCompositingManager();
}

std::vector<QByteArray> states(QWindow* window)
{
    std::vector<QByteArray> names;
    auto target = targetOf(window);
    if (!target)
        return names;
    for (Atom state : currentStates(*target)) {
        char* name = XGetAtomName(target->display, state);
        if (name) {
            names.emplace_back(name);
            XFree(name);
        }
    }
    return names;
}

}
