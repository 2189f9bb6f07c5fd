#include "platform/Desktop/X11Stacking.hpp"

#include <QGuiApplication>
#include <X11/Xlib.h>
#include <algorithm>
#include <map>

namespace Platform::X11Stacking {

namespace {

// Bounded, so a broken tree cannot keep us climbing.
constexpr int maxDepth = 64;

std::optional<::Window> topOf(Display* display, ::Window window, ::Window root)
{
    for (int depth = 0; depth < maxDepth; ++depth) {
        ::Window rootReturn = 0;
        ::Window parent = 0;
        ::Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count))
            return std::nullopt;
        if (children)
            XFree(children);
        if (parent == root || parent == 0)
            return window;
        window = parent;
    }
    return std::nullopt;
}

}

std::optional<std::vector<uint64_t>> frontToBack(std::vector<uint64_t> const& windows)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::nullopt;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    ::Window const root = DefaultRootWindow(display);
    ::Window rootReturn = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count))
        return std::nullopt;
    // Bottom first, as the server lists them.
    std::map<::Window, size_t> place;
    for (unsigned i = 0; i < count; ++i)
        place[children[i]] = i;
    if (children)
        XFree(children);

    std::vector<std::pair<size_t, uint64_t>> ranked;
    for (auto const window : windows) {
        auto const top = topOf(display, ::Window(window), root);
        auto const found = top ? place.find(*top) : place.end();
        // Unknown to the stacking: behind everything.
        ranked.emplace_back(found == place.end() ? 0 : found->second + 1, window);
    }
    std::ranges::stable_sort(ranked, [](auto const& a, auto const& b) { return a.first > b.first; });
    std::vector<uint64_t> ordered;
    for (auto const& [rank, window] : ranked)
        ordered.push_back(window);
    return ordered;
}

}
