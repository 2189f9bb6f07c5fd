#include "app-core/FocusChooser.hpp"

#include "app-core/KnownApps.hpp"

namespace PupnikCore::FocusChooser {

std::optional<FocusPlan> plan(PawletKit::SessionTarget const& target, AppLookup const& appForPid, RunningApps const& runningApps)
{
    std::optional<RunningAppInfo> app;
    if (target.source == PawletKit::SessionSource::codex) {
        if (runningApps) {
            auto running = runningApps();
            app = KnownApps::codexDesktopApp(running);
        }
    } else {
        app = firstRegularApp(target.pids, appForPid);
    }
    if (!app)
        return std::nullopt;
    std::optional<std::string_view> bundleId;
    if (app->bundleId)
        bundleId = *app->bundleId;
    std::optional<std::string_view> tty;
    if (target.tty)
        tty = *target.tty;
    std::optional<std::string_view> cwd;
    if (target.cwd)
        cwd = *target.cwd;
    auto jump = TerminalJump::make(bundleId, tty, cwd, target.pids);
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
