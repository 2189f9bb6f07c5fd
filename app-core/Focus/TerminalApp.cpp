#include "app-core/Focus/TerminalApp.hpp"

namespace PupnikCore {

namespace {

constexpr std::string_view appleTerminalIds[] { "com.apple.Terminal" };
constexpr std::string_view iterm2Ids[] { "com.googlecode.iterm2" };
constexpr std::string_view ghosttyIds[] { "com.mitchellh.ghostty" };
constexpr std::string_view weztermIds[] { "com.github.wez.wezterm" };
constexpr std::string_view kittyIds[] { "net.kovidgoyal.kitty" };
constexpr std::string_view warpIds[] { "dev.warp.Warp-Stable", "dev.warp.Warp-Preview" };
constexpr std::string_view vscodeIds[] { "com.microsoft.VSCode", "com.microsoft.VSCodeInsiders", "com.visualstudio.code.oss" };
constexpr std::string_view cursorIds[] { "com.todesktop.230313mzl4w4u92" };

}

std::optional<TerminalApp> TerminalApp::fromRawValue(std::string_view text)
{
    for (auto value : allCases)
        if (TerminalApp(value).rawValue() == text)
            return TerminalApp(value);
    return std::nullopt;
}

std::optional<TerminalApp> TerminalApp::fromBundleId(std::optional<std::string_view> bundleId)
{
    if (!bundleId)
        return std::nullopt;
    for (auto value : allCases)
        for (auto identifier : TerminalApp(value).bundleIdentifiers())
            if (identifier == *bundleId)
                return TerminalApp(value);
    return std::nullopt;
}

std::string_view TerminalApp::rawValue() const
{
    switch (m_value) {
    case appleTerminal:
        return "appleTerminal";
    case iterm2:
        return "iterm2";
    case ghostty:
        return "ghostty";
    case wezterm:
        return "wezterm";
    case kitty:
        return "kitty";
    case warp:
        return "warp";
    case vscode:
        return "vscode";
    case cursor:
        return "cursor";
    }
    return {};
}

std::span<std::string_view const> TerminalApp::bundleIdentifiers() const
{
    switch (m_value) {
    case appleTerminal:
        return appleTerminalIds;
    case iterm2:
        return iterm2Ids;
    case ghostty:
        return ghosttyIds;
    case wezterm:
        return weztermIds;
    case kitty:
        return kittyIds;
    case warp:
        return warpIds;
    case vscode:
        return vscodeIds;
    case cursor:
        return cursorIds;
    }
    return {};
}

}
