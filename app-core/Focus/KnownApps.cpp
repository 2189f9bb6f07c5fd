#include "app-core/Focus/KnownApps.hpp"

#include "PawletKit/Text.hpp"

namespace PupnikCore::KnownApps {

bool isCodexDesktopApp(std::optional<std::string_view> bundleId, std::optional<std::string_view> name)
{
    if (bundleId && PawletKit::Text::caseFolded(*bundleId).find("codex") != std::string::npos)
        return true;
    return name && PawletKit::Text::caseFolded(*name) == "codex";
}

std::optional<RunningAppInfo> codexDesktopApp(std::span<RunningAppInfo const> running)
{
    RunningAppInfo const* first = nullptr;
    for (auto const& app : running) {
        if (!isCodexDesktopApp(app.bundleId, app.localizedName))
            continue;
        if (app.isRegular)
            return app;
        if (!first)
            first = &app;
    }
    if (!first)
        return std::nullopt;
    return *first;
}

}
