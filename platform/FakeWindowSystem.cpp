#include "platform/FakeWindowSystem.hpp"

#include <algorithm>

namespace Platform {

std::vector<ManagedWindow> FakeWindowSystem::windows()
{
    if (!supported)
        return {};
    if (onWindowsRead)
        onWindowsRead();
    return managed;
}

std::optional<WindowId> FakeWindowSystem::activeWindow()
{
    if (!supported)
        return std::nullopt;
    return active;
}

std::optional<std::string> FakeWindowSystem::title(WindowId window)
{
    if (!supported)
        return std::nullopt;
    if (onTitleRead)
        onTitleRead(window);
    auto const* found = find(window);
    return found ? found->title : std::nullopt;
}

WindowSystem::Request FakeWindowSystem::activate(WindowId window)
{
    return request(Kind::activate, window, honoursActivate);
}

WindowSystem::Request FakeWindowSystem::raiseAndFocus(WindowId window)
{
    return request(Kind::raiseAndFocus, window, honoursRaiseAndFocus);
}

ManagedWindow* FakeWindowSystem::find(WindowId window)
{
    auto it = std::find_if(managed.begin(), managed.end(), [&](ManagedWindow const& w) { return w.id == window; });
    return it == managed.end() ? nullptr : &*it;
}

WindowSystem::Request FakeWindowSystem::request(Kind kind, WindowId window, bool honoured)
{
    if (!supported)
        return Request::unsupported;
    sent.push_back({ kind, window });
    auto* target = find(window);
    if (!target)
        return Request::gone;
    if (honoured) {
        target->isMinimized = false;
        size_t top = 0;
        for (auto const& w : managed)
            top = std::max(top, w.stackingOrder + 1);
        target->stackingOrder = top;
        active = window;
    }
    return Request::sent;
}

}
