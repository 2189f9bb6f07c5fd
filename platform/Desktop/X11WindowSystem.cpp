#include "platform/Desktop/X11WindowSystem.hpp"

#include "PawletKit/Text.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <array>
#include <map>

namespace Platform {

namespace {

constexpr unsigned long allDesktops = 0xFFFFFFFF;
// _NET_ACTIVE_WINDOW's source indication of a pager or taskbar: a request on the user's behalf.
constexpr long sourcePager = 2;
constexpr long iconicState = 3;

// Xlib hands protocol errors to one process-wide handler, whose default ends the process. A window
// may vanish between two requests, so while a trap is set errors are only counted. The count has to
// live outside the handler's arguments; everything runs on the main thread.
int trappedErrors = 0;

int countError(Display*, XErrorEvent*)
{
    ++trappedErrors;
    return 0;
}

class ErrorTrap final {
public:
    explicit ErrorTrap(Display* display)
        : m_display(display)
        , m_saved(trappedErrors)
    {
        XSync(m_display, False);
        trappedErrors = 0;
        m_previous = XSetErrorHandler(countError);
    }
    ~ErrorTrap()
    {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
        trappedErrors = m_saved;
    }
    ErrorTrap(ErrorTrap const&) = delete;
    ErrorTrap& operator=(ErrorTrap const&) = delete;

    bool failed()
    {
        XSync(m_display, False);
        return trappedErrors > 0;
    }

private:
    Display* m_display;
    int m_saved;
    XErrorHandler m_previous { nullptr };
};

struct Property {
    bool windowExists { true };
    Atom type { None };
    int format { 0 };
    std::vector<unsigned char> bytes;
    std::vector<unsigned long> items;
};

// One property, at most maxBytes of it (a longer value is cut, never overrun).
Property readProperty(Display* display, ::Window window, Atom property, Atom type, long maxBytes)
{
    Property result;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    // The length is counted in 32-bit units.
    int status = XGetWindowProperty(display, window, property, 0, (maxBytes + 3) / 4, False, type, &result.type, &format, &count,
        &remaining, &data);
    if (status == BadWindow)
        result.windowExists = false;
    if (status != Success || !data) {
        if (data)
            XFree(data);
        result.type = None;
        return result;
    }
    result.format = format;
    if (format == 8) {
        result.bytes.assign(data, data + std::min<unsigned long>(count, static_cast<unsigned long>(maxBytes)));
    } else if (format == 32) {
        // Xlib hands 32-bit items out as longs.
        auto const* longs = reinterpret_cast<unsigned long const*>(data);
        result.items.assign(longs, longs + count);
        for (auto& item : result.items)
            item &= 0xFFFFFFFFul;
    }
    XFree(data);
    return result;
}

std::string utf8(std::vector<unsigned char> const& bytes)
{
    return PawletKit::Text::replacingInvalidUTF8(std::string_view(reinterpret_cast<char const*>(bytes.data()), bytes.size()));
}

std::string latin1(std::vector<unsigned char> const& bytes)
{
    std::string text;
    for (unsigned char byte : bytes) {
        if (byte < 0x80) {
            text += char(byte);
        } else {
            text += char(0xC0 | (byte >> 6));
            text += char(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::optional<std::string> nonEmpty(std::string text)
{
    // Titles and names end where a zero byte is, and are absent when nothing is left.
    if (auto zero = text.find('\0'); zero != std::string::npos)
        text.resize(zero);
    if (text.empty())
        return std::nullopt;
    return text;
}

}

struct X11WindowSystem::Connection {
    Display* display { nullptr };
    ::Window root { 0 };
    // An unmapped window of ours whose property changes tell the server's time.
    ::Window clock { 0 };
    std::map<std::string, Atom, std::less<>> atoms;

    ~Connection()
    {
        if (clock)
            XDestroyWindow(display, clock);
        XCloseDisplay(display);
    }

    Atom atom(char const* name)
    {
        auto it = atoms.find(name);
        if (it != atoms.end())
            return it->second;
        Atom value = XInternAtom(display, name, False);
        atoms.emplace(name, value);
        return value;
    }

    std::vector<unsigned long> longs(::Window window, char const* property, Atom type, long maxItems)
    {
        return readProperty(display, window, atom(property), type, maxItems * 4).items;
    }

    std::optional<unsigned long> cardinal(::Window window, char const* property)
    {
        auto items = longs(window, property, XA_CARDINAL, 1);
        if (items.empty())
            return std::nullopt;
        return items.front();
    }

    bool hasAtom(::Window window, char const* property, char const* value)
    {
        auto items = longs(window, property, XA_ATOM, 64);
        return std::find(items.begin(), items.end(), atom(value)) != items.end();
    }

    std::optional<std::string> title(::Window window, bool* exists = nullptr)
    {
        auto name = readProperty(display, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), maxTitleBytes);
        if (exists)
            *exists = name.windowExists;
        if (!name.windowExists)
            return std::nullopt;
        if (name.format == 8)
            if (auto text = nonEmpty(utf8(name.bytes)))
                return text;
        // The older WM_NAME: Latin-1 text, or UTF-8 from programs that say so.
        auto legacy = readProperty(display, window, XA_WM_NAME, AnyPropertyType, maxTitleBytes);
        if (legacy.format != 8)
            return std::nullopt;
        if (legacy.type == atom("UTF8_STRING"))
            return nonEmpty(utf8(legacy.bytes));
        if (legacy.type == XA_STRING)
            return nonEmpty(latin1(legacy.bytes));
        // Compound text and other encodings: their ASCII reads the same; the rest is replaced.
        return nonEmpty(utf8(legacy.bytes));
    }

    bool isMinimized(::Window window)
    {
        if (hasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN"))
            return true;
        auto state = longs(window, "WM_STATE", atom("WM_STATE"), 1);
        return !state.empty() && static_cast<long>(state.front()) == iconicState;
    }

    bool exists(::Window window)
    {
        XWindowAttributes attributes {};
        return XGetWindowAttributes(display, window, &attributes) != 0;
    }

    void sendToRoot(::Window window, char const* type, std::array<long, 5> const& data)
    {
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = atom(type);
        event.xclient.format = 32;
        for (size_t i = 0; i < data.size(); ++i)
            event.xclient.data.l[i] = data[i];
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    }
};

X11WindowSystem::X11WindowSystem(InputTime lastInputTime, std::optional<std::string> const& display)
    : m_lastInputTime(std::move(lastInputTime))
{
    Display* opened = XOpenDisplay(display ? display->c_str() : nullptr);
    if (!opened)
        return;
    m_connection = std::make_unique<Connection>();
    m_connection->display = opened;
    m_connection->root = DefaultRootWindow(opened);
    XSetWindowAttributes attributes {};
    attributes.event_mask = PropertyChangeMask;
    m_connection->clock = XCreateWindow(opened, m_connection->root, -1, -1, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent,
        CWEventMask, &attributes);
}

X11WindowSystem::~X11WindowSystem() = default;

bool X11WindowSystem::isSupported()
{
    return m_connection != nullptr;
}

std::vector<ManagedWindow> X11WindowSystem::windows()
{
    std::vector<ManagedWindow> result;
    if (!m_connection)
        return result;
    auto& c = *m_connection;
    ErrorTrap trap(c.display);
    auto const listed = c.longs(c.root, "_NET_CLIENT_LIST", XA_WINDOW, maxWindows);
    auto const stacking = c.longs(c.root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW, maxWindows);
    for (unsigned long id : listed) {
        ManagedWindow window;
        window.id = id;
        bool exists = true;
        window.title = c.title(id, &exists);
        if (!exists)
            continue;
        if (auto pid = c.cardinal(id, "_NET_WM_PID"); pid && *pid <= 0x7FFFFFFF)
            window.pid = static_cast<int32_t>(*pid);
        auto classes = readProperty(c.display, id, XA_WM_CLASS, XA_STRING, maxClassBytes);
        if (classes.format == 8) {
            std::string both = latin1(classes.bytes);
            size_t zero = both.find('\0');
            window.wmInstance = nonEmpty(both.substr(0, zero));
            if (zero != std::string::npos)
                window.wmClass = nonEmpty(both.substr(zero + 1));
        }
        auto types = c.longs(id, "_NET_WM_WINDOW_TYPE", XA_ATOM, 16);
        ::Window transientFor = 0;
        if (types.empty())
            window.isNormal = !XGetTransientForHint(c.display, id, &transientFor);
        else
            window.isNormal = std::find(types.begin(), types.end(), c.atom("_NET_WM_WINDOW_TYPE_NORMAL")) != types.end();
        window.isMinimized = c.isMinimized(id);
        auto place = std::find(stacking.begin(), stacking.end(), id);
        window.stackingOrder = place == stacking.end() ? 0 : static_cast<size_t>(place - stacking.begin());
        result.push_back(std::move(window));
    }
    return result;
}

std::optional<WindowId> X11WindowSystem::activeWindow()
{
    if (!m_connection)
        return std::nullopt;
    auto& c = *m_connection;
    ErrorTrap trap(c.display);
    auto items = c.longs(c.root, "_NET_ACTIVE_WINDOW", XA_WINDOW, 1);
    if (items.empty() || items.front() == None)
        return std::nullopt;
    return items.front();
}

std::optional<std::string> X11WindowSystem::title(WindowId window)
{
    if (!m_connection)
        return std::nullopt;
    ErrorTrap trap(m_connection->display);
    return m_connection->title(window);
}

uint32_t X11WindowSystem::requestTime()
{
    if (m_lastInputTime)
        if (uint32_t time = m_lastInputTime())
            return time;
    if (!m_connection)
        return CurrentTime;
    // An empty append still makes the server report the change, stamped with its time.
    auto& c = *m_connection;
    unsigned char none = 0;
    XChangeProperty(c.display, c.clock, c.atom("_PUPNIK_TIME"), XA_CARDINAL, 32, PropModeAppend, &none, 0);
    XEvent event {};
    XWindowEvent(c.display, c.clock, PropertyChangeMask, &event);
    return static_cast<uint32_t>(event.xproperty.time);
}

WindowSystem::Request X11WindowSystem::activate(WindowId window)
{
    if (!m_connection)
        return Request::unsupported;
    auto& c = *m_connection;
    uint32_t const time = requestTime();
    ErrorTrap trap(c.display);
    if (!c.exists(window))
        return Request::gone;
    // A client leaves the iconic state by mapping its window again.
    if (c.isMinimized(window))
        XMapWindow(c.display, window);
    auto const current = c.cardinal(c.root, "_NET_CURRENT_DESKTOP");
    auto const desktop = c.cardinal(window, "_NET_WM_DESKTOP");
    if (current && desktop && *desktop != *current && *desktop != allDesktops)
        c.sendToRoot(window, "_NET_WM_DESKTOP", { long(*current), sourcePager, 0, 0, 0 });
    auto const active = c.longs(c.root, "_NET_ACTIVE_WINDOW", XA_WINDOW, 1);
    long const requestor = active.empty() ? 0 : long(active.front());
    c.sendToRoot(window, "_NET_ACTIVE_WINDOW", { sourcePager, long(time), requestor, 0, 0 });
    if (trap.failed() && !c.exists(window))
        return Request::gone;
    return Request::sent;
}

WindowSystem::Request X11WindowSystem::raiseAndFocus(WindowId window)
{
    if (!m_connection)
        return Request::unsupported;
    auto& c = *m_connection;
    ErrorTrap trap(c.display);
    if (!c.exists(window))
        return Request::gone;
    XMapRaised(c.display, window);
    // A focus change stamped with an input time older than the last change is ignored by the server.
    XSetInputFocus(c.display, window, RevertToParent, CurrentTime);
    if (trap.failed() && !c.exists(window))
        return Request::gone;
    return Request::sent;
}

}
