#include "FocusTestSupport.hpp"

#include "app-core/Focus/TerminalApp.hpp"
#include "app-core/Focus/TerminalJump.hpp"
#include "app-core/Focus/TerminalScripts.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;
using Jump = TerminalJump;

namespace {

constexpr char const* ghostty = "com.mitchellh.ghostty";
constexpr char const* wezterm = "com.github.wez.wezterm";
constexpr char const* kitty = "net.kovidgoyal.kitty";

}

TEST(TerminalApp, KnowsApplicationsByExactIdentifier)
{
    struct Case {
        std::optional<std::string_view> bundleId;
        std::optional<TerminalApp> app;
    };
    Case const cases[] = {
        { "com.apple.Terminal", TerminalApp::appleTerminal },
        { "com.googlecode.iterm2", TerminalApp::iterm2 },
        { ghostty, TerminalApp::ghostty },
        { wezterm, TerminalApp::wezterm },
        { kitty, TerminalApp::kitty },
        { "dev.warp.Warp-Stable", TerminalApp::warp },
        { "dev.warp.Warp-Preview", TerminalApp::warp },
        { "com.microsoft.VSCode", TerminalApp::vscode },
        { "com.microsoft.VSCodeInsiders", TerminalApp::vscode },
        { "com.visualstudio.code.oss", TerminalApp::vscode },
        { "com.todesktop.230313mzl4w4u92", TerminalApp::cursor },
        { "com.apple.terminal", std::nullopt },
        { "com.apple.Terminal ", std::nullopt },
        { "org.mozilla.firefox", std::nullopt },
        { "", std::nullopt },
        { std::nullopt, std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(TerminalApp::fromBundleId(c.bundleId), c.app) << c.bundleId.value_or("(none)");

    for (auto value : TerminalApp::allCases) {
        TerminalApp app(value);
        EXPECT_EQ(TerminalApp::fromRawValue(app.rawValue()), app);
        for (auto identifier : app.bundleIdentifiers())
            EXPECT_EQ(TerminalApp::fromBundleId(identifier), app) << identifier;
    }
    EXPECT_EQ(TerminalApp::fromRawValue("Ghostty"), std::nullopt);
    EXPECT_EQ(TerminalApp::fromRawValue("vscode "), std::nullopt);
}

TEST(TerminalJump, PlansEachApplicationKind)
{
    struct Case {
        char const* label;
        std::optional<std::string_view> bundleId;
        std::optional<std::string_view> tty;
        std::optional<std::string_view> cwd;
        std::vector<int32_t> pids;
        Jump expected;
    };
    Case const cases[] = {
        { "ghostty both", ghostty, "pts/3", "/home/me/project/", {}, Jump::Ghostty { "pts/3", "/home/me/project" } },
        { "ghostty directory only", ghostty, "pts/x", "/Users/me/project/", {}, Jump::Ghostty { std::nullopt, "/Users/me/project" } },
        { "ghostty terminal only", ghostty, "ttys003", "relative", {}, Jump::Ghostty { "ttys003", std::nullopt } },
        { "ghostty neither", ghostty, std::nullopt, std::nullopt, { 12 }, Jump::None {} },
        { "wezterm", wezterm, "pts/12", "/tmp", {}, Jump::WezTerm { "pts/12" } },
        { "wezterm tty0", wezterm, "tty2", std::nullopt, {}, Jump::WezTerm { "tty2" } },
        { "wezterm without terminal", wezterm, std::nullopt, "/tmp", { 5 }, Jump::None {} },
        { "wezterm bad terminal", wezterm, "pts/3;rm", "/tmp", {}, Jump::None {} },
        { "kitty pids", kitty, std::nullopt, std::nullopt, { 0, 812 }, Jump::Kitty { { 812 }, std::nullopt } },
        { "kitty pids and folder", kitty, "pts/1", "/srv/api/", { 812, -1, 4120 }, Jump::Kitty { { 812, 4120 }, "/srv/api" } },
        { "kitty folder only", kitty, std::nullopt, "/srv/api", { 0, -5 }, Jump::Kitty { {}, "/srv/api" } },
        { "kitty nothing", kitty, "pts/1", std::nullopt, { 0, -5 }, Jump::None {} },
        { "warp", "dev.warp.Warp-Stable", "pts/1", "/tmp", { 812 }, Jump::None {} },
        { "vscode insiders", "com.microsoft.VSCodeInsiders", std::nullopt, " /tmp/x\n", {}, Jump::Editor { TerminalApp::vscode, "/tmp/x" } },
        { "vscode relative", "com.microsoft.VSCode", "pts/1", "relative/path", { 812 }, Jump::None {} },
        { "cursor", "com.todesktop.230313mzl4w4u92", std::nullopt, "/home/me/app", {}, Jump::Editor { TerminalApp::cursor, "/home/me/app" } },
        { "unknown", "org.gnome.Terminal", "pts/1", "/tmp", { 812 }, Jump::None {} },
        { "no identifier", std::nullopt, "pts/1", "/tmp", { 812 }, Jump::None {} },
        { "terminal lower case", "com.apple.terminal", "ttys003", std::nullopt, {}, Jump::None {} },
        { "terminal short name", "com.apple.Terminal", "tty", std::nullopt, {}, Jump::None {} },
        { "iterm2 no terminal", "com.googlecode.iterm2", std::nullopt, "/tmp", { 812 }, Jump::None {} },
    };
    for (auto const& c : cases)
        EXPECT_EQ(Jump::make(c.bundleId, c.tty, c.cwd, c.pids), c.expected) << c.label;

    // Without process ids kitty is only activated; the others plan as before.
    EXPECT_EQ(Jump::make(kitty, "pts/1", "/srv/api"), Jump::None {});
    EXPECT_EQ(Jump::make(ghostty, "pts/1", std::nullopt), (Jump::Ghostty { "pts/1", std::nullopt }));
}

TEST(TerminalJump, TerminalAndITermRunTheirScriptForTheDevice)
{
    auto terminal = Jump::make("com.apple.Terminal", "ttys003", std::nullopt, std::vector<int32_t> { 1 });
    ASSERT_TRUE(terminal.script());
    EXPECT_EQ(terminal, Jump::AppleScript { *TerminalScripts::terminal("ttys003") });
    EXPECT_NE(terminal.script()->find("if tty of t is \"/dev/ttys003\" then"), std::string::npos);

    // A Linux terminal name goes into the device path the same way.
    auto iterm = Jump::make("com.googlecode.iterm2", "pts/3", std::nullopt);
    ASSERT_TRUE(iterm.script());
    EXPECT_NE(iterm.script()->find("if tty of s is \"/dev/pts/3\" then"), std::string::npos);

    EXPECT_EQ(Jump(Jump::WezTerm { "pts/1" }).script(), std::nullopt);
    EXPECT_EQ(Jump().script(), std::nullopt);
}

TEST(TerminalScripts, ScriptTextsAsWritten)
{
    EXPECT_EQ(TerminalScripts::terminal("ttys003"),
        "tell application id \"com.apple.Terminal\"\n"
        "\trepeat with w in windows\n"
        "\t\trepeat with t in tabs of w\n"
        "\t\t\tif tty of t is \"/dev/ttys003\" then\n"
        "\t\t\t\tset selected tab of w to t\n"
        "\t\t\t\tset index of w to 1\n"
        "\t\t\t\treturn true\n"
        "\t\t\tend if\n"
        "\t\tend repeat\n"
        "\tend repeat\n"
        "\treturn false\n"
        "end tell");
    EXPECT_EQ(TerminalScripts::iterm2("ttys003"),
        "tell application id \"com.googlecode.iterm2\"\n"
        "\trepeat with w in windows\n"
        "\t\trepeat with t in tabs of w\n"
        "\t\t\trepeat with s in sessions of t\n"
        "\t\t\t\tif tty of s is \"/dev/ttys003\" then\n"
        "\t\t\t\t\ttell t to select\n"
        "\t\t\t\t\ttell w to select\n"
        "\t\t\t\t\treturn true\n"
        "\t\t\t\tend if\n"
        "\t\t\tend repeat\n"
        "\t\tend repeat\n"
        "\tend repeat\n"
        "\treturn false\n"
        "end tell");

    struct Case {
        std::optional<std::string_view> bundleId;
        std::string_view tty;
        bool hasScript;
    };
    Case const cases[] = {
        { "com.apple.Terminal", "ttys003", true },
        { "com.googlecode.iterm2", "pts/0", true },
        { "com.apple.Terminal", "tty", false },
        // A name that could close the quoted text never reaches a script.
        { "com.apple.Terminal", "ttys0\" & do shell script \"x", false },
        { "com.googlecode.iterm2", "pts/0\n", false },
        { "com.apple.terminal", "ttys003", false },
        { "com.mitchellh.ghostty", "ttys003", false },
        { std::nullopt, "ttys003", false },
    };
    for (auto const& c : cases)
        EXPECT_EQ(TerminalScripts::script(c.bundleId, c.tty).has_value(), c.hasScript) << c.bundleId.value_or("-") << " " << c.tty;
    EXPECT_EQ(TerminalScripts::script("com.googlecode.iterm2", "ttys003"), TerminalScripts::iterm2("ttys003"));
}
