#include "app-core/Focus/KnownApps.hpp"
#include "app-core/Focus/LinuxAppIdentity.hpp"
#include "app-core/Focus/TerminalApp.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;

namespace {

LinuxAppIdentity identity(std::optional<std::string> instance, std::optional<std::string> wmClass, std::optional<std::string> executable)
{
    return LinuxAppIdentity { std::move(instance), std::move(wmClass), std::move(executable) };
}

}

TEST(LinuxAppIdentity, MapsWhatApplicationsReportOnLinux)
{
    struct Case {
        LinuxAppIdentity identity;
        std::optional<TerminalApp> app;
        std::optional<std::string> bundleId;
        std::optional<std::string> name;
    };
    Case const cases[] = {
        { identity("ghostty", "com.mitchellh.ghostty", "ghostty"), TerminalApp::ghostty, "com.mitchellh.ghostty", "Ghostty" },
        { identity("ghostty", "Ghostty", std::nullopt), TerminalApp::ghostty, "com.mitchellh.ghostty", "Ghostty" },
        { identity("org.wezfurlong.wezterm", "org.wezfurlong.wezterm", "wezterm-gui"), TerminalApp::wezterm, "com.github.wez.wezterm", "WezTerm" },
        { identity(std::nullopt, std::nullopt, "wezterm-gui"), TerminalApp::wezterm, "com.github.wez.wezterm", "WezTerm" },
        { identity("kitty", "kitty", "kitty"), TerminalApp::kitty, "net.kovidgoyal.kitty", "kitty" },
        // kitty started with its own --class is still kitty by its executable.
        { identity("scratch", "scratchpad", "kitty"), TerminalApp::kitty, "net.kovidgoyal.kitty", "kitty" },
        { identity("code", "Code", "code"), TerminalApp::vscode, "com.microsoft.VSCode", "Visual Studio Code" },
        { identity("code-insiders", "Code - Insiders", "code-insiders"), TerminalApp::vscode, "com.microsoft.VSCodeInsiders",
            "Visual Studio Code - Insiders" },
        { identity("vscodium", "VSCodium", "codium"), TerminalApp::vscode, "com.visualstudio.code.oss", "VSCodium" },
        // A packaged editor running on the system's electron is told by its class, not its executable.
        { identity("code-oss", "Code - OSS", "electron"), TerminalApp::vscode, "com.visualstudio.code.oss", "Code - OSS" },
        { identity("cursor", "Cursor", "cursor"), TerminalApp::cursor, "com.todesktop.230313mzl4w4u92", "Cursor" },
        { identity("dev.warp.Warp", "dev.warp.Warp", "warp"), TerminalApp::warp, "dev.warp.Warp-Stable", "Warp" },
        // Everything else keeps its own name, and no terminal rule applies.
        { identity("gnome-terminal-server", "Gnome-terminal", "gnome-terminal-server"), std::nullopt, "Gnome-terminal", "Gnome-terminal" },
        { identity("xterm", std::nullopt, "xterm"), std::nullopt, "xterm", "xterm" },
        { identity("", "", "xterm"), std::nullopt, "xterm", "xterm" },
        // A class that names kitty wins over an executable that names another terminal.
        { identity("kitty", "kitty", "ghostty"), TerminalApp::kitty, "net.kovidgoyal.kitty", "kitty" },
        // Case only matters for executables.
        { identity(std::nullopt, std::nullopt, "Kitty"), std::nullopt, "Kitty", "Kitty" },
        { identity(std::nullopt, std::nullopt, std::nullopt), std::nullopt, std::nullopt, std::nullopt },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(c.identity.bundleIdentifier(), c.bundleId) << c.identity.wmClass.value_or("-");
        EXPECT_EQ(c.identity.displayName(), c.name) << c.identity.wmClass.value_or("-");
        auto bundleId = c.identity.bundleIdentifier();
        EXPECT_EQ(TerminalApp::fromBundleId(bundleId ? std::optional<std::string_view>(*bundleId) : std::nullopt), c.app)
            << c.identity.wmClass.value_or("-");
    }
}

TEST(LinuxAppIdentity, EveryKnownApplicationReachesItsRule)
{
    // An identifier typed wrong here would quietly turn a terminal into one that is only activated.
    for (auto const& known : LinuxAppIdentity::knownApps())
        EXPECT_TRUE(TerminalApp::fromBundleId(known.bundleId)) << known.bundleId;
    for (auto value : TerminalApp::allCases) {
        bool listed = false;
        for (auto const& known : LinuxAppIdentity::knownApps())
            listed = listed || TerminalApp::fromBundleId(known.bundleId) == TerminalApp(value);
        EXPECT_TRUE(listed) << TerminalApp(value).rawValue();
    }
    // Terminal and iTerm2 do not run here: nothing on Linux is taken for them.
    for (auto const& known : LinuxAppIdentity::knownApps()) {
        if (known.bundleId == "com.apple.Terminal" || known.bundleId == "com.googlecode.iterm2") {
            EXPECT_TRUE(known.wmClasses.empty() && known.executables.empty()) << known.bundleId;
        }
    }
}

TEST(LinuxAppIdentity, CodexsDesktopApplicationPassesItsOwnTest)
{
    struct Case {
        LinuxAppIdentity identity;
        bool isCodex;
    };
    Case const cases[] = {
        { identity("codex", "Codex", "codex"), true },
        { identity("com.openai.codex", "com.openai.codex", "electron"), true },
        { identity(std::nullopt, std::nullopt, "codex-desktop"), true },
        { identity("kitty", "kitty", "kitty"), false },
        { identity("code", "Code", "code"), false },
    };
    for (auto const& c : cases) {
        auto bundleId = c.identity.bundleIdentifier();
        auto name = c.identity.displayName();
        EXPECT_EQ(KnownApps::isCodexDesktopApp(bundleId ? std::optional<std::string_view>(*bundleId) : std::nullopt,
                      name ? std::optional<std::string_view>(*name) : std::nullopt),
            c.isCodex)
            << c.identity.wmClass.value_or("-");
    }
}
