#include "FocusTestSupport.hpp"

#include "app-core/Focus/FocusChooser.hpp"
#include "app-core/Focus/KnownApps.hpp"

#include <gtest/gtest.h>
#include <map>

using namespace PupnikCore;
using PawletKit::SessionSource;
using PawletKit::SessionTarget;

namespace {

// The running applications of a made-up desktop, by process id, in the window system's order.
struct Desktop {
    std::vector<RunningAppInfo> apps;

    FocusChooser::AppLookup lookup() const
    {
        return [this](int32_t pid) -> std::optional<RunningAppInfo> {
            for (auto const& app : apps)
                if (app.pid == pid)
                    return app;
            return std::nullopt;
        };
    }
    FocusChooser::RunningApps running() const
    {
        return [this] { return apps; };
    }
};

RunningAppInfo app(int32_t pid, std::optional<std::string> bundleId, std::optional<std::string> name, bool regular = true)
{
    return RunningAppInfo { pid, std::move(bundleId), std::move(name), regular };
}

SessionTarget target(SessionSource source, std::vector<int32_t> pids, std::optional<std::string> tty = std::nullopt,
    std::optional<std::string> cwd = std::nullopt)
{
    SessionTarget session;
    session.sid = "4f1c2a9e-session";
    session.source = source;
    session.pids = std::move(pids);
    session.tty = std::move(tty);
    session.cwd = std::move(cwd);
    return session;
}

}

TEST(FocusChooser, PlansForTheFirstRegularApplicationOfTheChain)
{
    auto const kitty = app(900, "net.kovidgoyal.kitty", "kitty");
    auto const helper = app(850, "com.mitchellh.ghostty", "Ghostty helper", false);
    auto const code = app(700, "com.microsoft.VSCode", "Visual Studio Code");
    Desktop const desktop { { code, kitty, helper } };

    struct Case {
        char const* label;
        SessionTarget session;
        std::optional<FocusPlan> plan;
    };
    Case const cases[] = {
        // The shell and the agent have no application; the terminal has.
        { "chain", target(SessionSource::claude, { 4188, 4120, 900 }, "pts/3", "/srv/api"),
            FocusPlan(kitty, TerminalJump::Kitty { { 4188, 4120, 900 }, "/srv/api" }) },
        // A helper that is not a regular application is passed over, also when it comes first.
        { "helper first", target(SessionSource::claude, { 4188, 850, 700 }, std::nullopt, "/home/me/app/"),
            FocusPlan(code, TerminalJump::Editor { TerminalApp::vscode, "/home/me/app" }) },
        { "only a helper", target(SessionSource::claude, { 4188, 850 }, "pts/3"), std::nullopt },
        { "process source", target(SessionSource::process, { 700 }, std::nullopt, "relative"), FocusPlan(code, TerminalJump()) },
        { "no pids", target(SessionSource::claude, {}, "pts/3", "/tmp"), std::nullopt },
        { "unknown pids", target(SessionSource::claude, { 1, 2, 3 }), std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(FocusChooser::plan(c.session, desktop.lookup(), desktop.running()), c.plan) << c.label;

    EXPECT_EQ(FocusChooser::firstRegularApp(std::vector<int32_t> { 850, 900, 700 }, desktop.lookup()), kitty);
    EXPECT_EQ(FocusChooser::firstRegularApp(std::vector<int32_t> { 850 }, desktop.lookup()), std::nullopt);
}

TEST(FocusChooser, CodexSessionsGoToCodexsDesktopApplication)
{
    auto const terminal = app(900, "com.mitchellh.ghostty", "Ghostty");
    auto const background = app(610, "com.openai.codex", "Codex", false);
    auto const desktopApp = app(600, "com.openai.Codex", "Codex");
    auto const session = target(SessionSource::codex, { 4188, 900 }, "pts/3", "/srv/api");

    // A regular candidate wins over an earlier one that is not; the chain is not consulted.
    Desktop const both { { terminal, background, desktopApp } };
    auto plan = FocusChooser::plan(session, both.lookup(), both.running());
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->app, desktopApp);
    EXPECT_EQ(plan->jump, TerminalJump());

    Desktop const onlyBackground { { terminal, background } };
    plan = FocusChooser::plan(session, onlyBackground.lookup(), onlyBackground.running());
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->app, background);

    // No such application: no plan, even though the chain leads to a terminal.
    Desktop const none { { terminal } };
    EXPECT_EQ(FocusChooser::plan(session, none.lookup(), none.running()), std::nullopt);
}

TEST(KnownApps, TellsCodexsDesktopApplication)
{
    struct Case {
        std::optional<std::string_view> bundleId;
        std::optional<std::string_view> name;
        bool isCodex;
    };
    Case const cases[] = {
        { "com.openai.codex", std::nullopt, true },
        { "com.openai.CODEX.helper", "Helper", true },
        { "org.example.app", "Codex", true },
        { std::nullopt, "cOdEx", true },
        { "org.example.app", "Codex Helper", false },
        { std::nullopt, "Codes", false },
        { "com.apple.Terminal", "Terminal", false },
        { std::nullopt, std::nullopt, false },
    };
    for (auto const& c : cases)
        EXPECT_EQ(KnownApps::isCodexDesktopApp(c.bundleId, c.name), c.isCodex) << c.bundleId.value_or("-") << " " << c.name.value_or("-");

    std::vector<RunningAppInfo> const apps { app(1, "a.codex.one", "One", false), app(2, "b.codex.two", "Two", false) };
    EXPECT_EQ(KnownApps::codexDesktopApp(apps), apps[0]);
    EXPECT_EQ(KnownApps::codexDesktopApp({}), std::nullopt);
}

TEST(FocusPlan, AScriptMakesAnAppleScriptJump)
{
    auto const terminal = app(44, "com.apple.Terminal", "Terminal");
    EXPECT_EQ(FocusPlan(terminal, std::optional<std::string>("return true")).jump, TerminalJump::AppleScript { "return true" });
    EXPECT_EQ(FocusPlan(terminal, std::optional<std::string>()).jump, TerminalJump());
    EXPECT_NE(FocusPlan(terminal, std::optional<std::string>()), FocusPlan(app(45, "com.apple.Terminal", "Terminal"), TerminalJump()));
}
