#include "Pupnik/Workspace.hpp"

#include "PawletKit/ProcessAncestry.hpp"
#include "app-core/Focus/GhosttyPlan.hpp"
#include "app-core/Focus/LinuxAppIdentity.hpp"

#include <algorithm>

namespace Pupnik {

Workspace Workspace::read(Platform::WindowSystem& windows, PawletKit::ProcessTable const& processes)
{
    Workspace workspace;
    for (auto& window : windows.windows()) {
        // A window that names no process cannot be tied to a session.
        if (window.pid <= 0)
            continue;
        auto it = std::find_if(workspace.m_applications.begin(), workspace.m_applications.end(),
            [&](Application const& app) { return app.info.pid == window.pid; });
        if (it == workspace.m_applications.end()) {
            Application app;
            app.info.pid = window.pid;
            workspace.m_applications.push_back(std::move(app));
            it = std::prev(workspace.m_applications.end());
        }
        it->windows.push_back(std::move(window));
    }
    for (auto& app : workspace.m_applications) {
        PupnikCore::LinuxAppIdentity identity;
        // The first window that carries a class speaks for the application.
        for (auto const& window : app.windows) {
            if (window.wmClass || window.wmInstance) {
                identity.wmInstance = window.wmInstance;
                identity.wmClass = window.wmClass;
                break;
            }
        }
        if (auto record = PawletKit::ProcessAncestry::record(app.info.pid, processes))
            identity.executableName = PawletKit::ProcessAncestry::processName(app.info.pid, *record, processes);
        app.info.bundleId = identity.bundleIdentifier();
        app.info.localizedName = identity.displayName();
        app.info.isRegular = std::any_of(app.windows.begin(), app.windows.end(), [](auto const& w) { return w.isNormal; });
    }
    return workspace;
}

Workspace::Application const* Workspace::application(int32_t pid) const
{
    auto it = std::find_if(m_applications.begin(), m_applications.end(), [&](Application const& app) { return app.info.pid == pid; });
    return it == m_applications.end() ? nullptr : &*it;
}

std::optional<PupnikCore::RunningAppInfo> Workspace::info(int32_t pid) const
{
    if (auto const* app = application(pid))
        return app->info;
    return std::nullopt;
}

std::vector<PupnikCore::RunningAppInfo> Workspace::infos() const
{
    std::vector<PupnikCore::RunningAppInfo> list;
    for (auto const& app : m_applications)
        list.push_back(app.info);
    return list;
}

std::optional<Platform::ManagedWindow> Workspace::sessionWindow(Application const& application, SessionHint const& hint)
{
    std::vector<Platform::ManagedWindow const*> candidates;
    for (auto const& window : application.windows)
        if (window.isNormal)
            candidates.push_back(&window);
    if (candidates.empty())
        for (auto const& window : application.windows)
            candidates.push_back(&window);
    if (candidates.empty())
        return std::nullopt;
    if (hint.preferred)
        for (auto const* window : candidates)
            if (window->id == *hint.preferred)
                return *window;

    // The title rules of Ghostty's windows hold for any terminal; a minimised window counts like
    // any other, since activation brings it back.
    std::vector<PupnikCore::GhosttyWindow> described;
    for (size_t i = 0; i < candidates.size(); ++i)
        described.push_back({ static_cast<int64_t>(i), candidates[i]->title, std::nullopt, false });
    auto decision = PupnikCore::GhosttyPlan::decide(described, hint.tty, hint.cwd);
    if (auto const* raise = decision.as<PupnikCore::GhosttyDecision::Raise>())
        if (raise->index >= 0 && static_cast<size_t>(raise->index) < candidates.size())
            return *candidates[static_cast<size_t>(raise->index)];
    return **std::max_element(candidates.begin(), candidates.end(),
        [](auto const* a, auto const* b) { return a->stackingOrder < b->stackingOrder; });
}

}
