#include "app-core/Focus/LinuxAppIdentity.hpp"

#include "PawletKit/ASCII.hpp"

#include <array>

namespace PupnikCore {

namespace {

using KnownApp = LinuxAppIdentity::KnownApp;

constexpr std::string_view ghosttyClasses[] { "com.mitchellh.ghostty", "ghostty" };
constexpr std::string_view ghosttyExecutables[] { "ghostty" };
constexpr std::string_view weztermClasses[] { "org.wezfurlong.wezterm", "wezterm" };
constexpr std::string_view weztermExecutables[] { "wezterm-gui" };
constexpr std::string_view kittyClasses[] { "kitty" };
constexpr std::string_view kittyExecutables[] { "kitty" };
constexpr std::string_view warpClasses[] { "dev.warp.Warp", "warp" };
constexpr std::string_view warpExecutables[] { "warp", "warp-terminal" };
constexpr std::string_view codeClasses[] { "code" };
constexpr std::string_view codeExecutables[] { "code" };
constexpr std::string_view insidersClasses[] { "code-insiders", "Code - Insiders" };
constexpr std::string_view insidersExecutables[] { "code-insiders" };
constexpr std::string_view codiumClasses[] { "vscodium", "codium" };
constexpr std::string_view codiumExecutables[] { "codium" };
constexpr std::string_view codeOSSClasses[] { "code-oss", "Code - OSS" };
constexpr std::string_view codeOSSExecutables[] { "code-oss" };
constexpr std::string_view cursorClasses[] { "cursor" };
constexpr std::string_view cursorExecutables[] { "cursor" };

// Terminal and iTerm2 never run on Linux; they keep their rows so the table names every application
// the rules know.
constexpr std::array<KnownApp, 11> table { {
    { "com.apple.Terminal", "Terminal", {}, {} },
    { "com.googlecode.iterm2", "iTerm2", {}, {} },
    { "com.mitchellh.ghostty", "Ghostty", ghosttyClasses, ghosttyExecutables },
    { "com.github.wez.wezterm", "WezTerm", weztermClasses, weztermExecutables },
    { "net.kovidgoyal.kitty", "kitty", kittyClasses, kittyExecutables },
    { "dev.warp.Warp-Stable", "Warp", warpClasses, warpExecutables },
    { "com.microsoft.VSCode", "Visual Studio Code", codeClasses, codeExecutables },
    { "com.microsoft.VSCodeInsiders", "Visual Studio Code - Insiders", insidersClasses, insidersExecutables },
    { "com.visualstudio.code.oss", "VSCodium", codiumClasses, codiumExecutables },
    { "com.visualstudio.code.oss", "Code - OSS", codeOSSClasses, codeOSSExecutables },
    { "com.todesktop.230313mzl4w4u92", "Cursor", cursorClasses, cursorExecutables },
} };

template<typename Matches>
std::optional<KnownApp> firstRow(Matches matches)
{
    for (auto const& row : table)
        if (matches(row))
            return row;
    return std::nullopt;
}

std::optional<KnownApp> byClassName(std::optional<std::string> const& name)
{
    if (!name || name->empty())
        return std::nullopt;
    return firstRow([&](KnownApp const& row) {
        for (auto known : row.wmClasses)
            if (PawletKit::ASCII::equalIgnoringCase(known, *name))
                return true;
        return false;
    });
}

std::optional<std::string> firstPresent(LinuxAppIdentity const& identity)
{
    for (auto const* name : { &identity.wmClass, &identity.wmInstance, &identity.executableName })
        if (*name && !(*name)->empty())
            return **name;
    return std::nullopt;
}

}

std::span<KnownApp const> LinuxAppIdentity::knownApps()
{
    return table;
}

std::optional<KnownApp> LinuxAppIdentity::knownApp() const
{
    if (auto row = byClassName(wmClass))
        return row;
    if (auto row = byClassName(wmInstance))
        return row;
    if (!executableName || executableName->empty())
        return std::nullopt;
    return firstRow([&](KnownApp const& row) {
        for (auto known : row.executables)
            if (known == *executableName)
                return true;
        return false;
    });
}

std::optional<std::string> LinuxAppIdentity::bundleIdentifier() const
{
    if (auto row = knownApp())
        return std::string(row->bundleId);
    return firstPresent(*this);
}

std::optional<std::string> LinuxAppIdentity::displayName() const
{
    if (auto row = knownApp())
        return std::string(row->displayName);
    return firstPresent(*this);
}

}
