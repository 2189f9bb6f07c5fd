#include "app-core/Focus/FocusChooser.hpp"

#include "app-core/Focus/KnownApps.hpp"

namespace PupnikCore::FocusChooser {

std::optional<FocusPlan> plan(PawletKit::SessionTarget const& target, AppLookup const& appForPid, RunningApps const& runningApps)
{
    std::optional<RunningAppInfo> app;
    if (target.source == PawletKit::SessionSource::codex) {
        if (runningApps)
            app = KnownApps::codexDesktopApp(runningApps());
    } else {
        app = firstRegularApp(target.pids, appForPid);
    }
    if (!app)
        return std::nullopt;
    auto jump = TerminalJump::make(app->bundleId, target.tty, target.cwd, target.pids);
    return FocusPlan(std::move(*app), std::move(jump));
}

std::optional<RunningAppInfo> firstRegularApp(std::span<int32_t const> pids, AppLookup const& appForPid)
{
    if (!appForPid)
        return std::nullopt;
    for (int32_t pid : pids) {
        auto app = appForPid(pid);
        if (app && app->isRegular)
            return app;
    }
    return std::nullopt;
}

}
