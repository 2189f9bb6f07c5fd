#include "Pupnik/tests/FocusTestDesk.hpp"
#include "app-core/Localized.hpp"

#include <gtest/gtest.h>

using namespace Pupnik;
using namespace Pupnik::FocusTest;
using Platform::FakeWindowSystem;

namespace {

std::string fixture(char const* name)
{
    return (std::filesystem::path(PUPNIK_SOURCE_DIR) / "app-core/Focus/tests/fixtures" / name).string();
}

constexpr Platform::WindowId browser = 0x900001;
constexpr Platform::WindowId xterm = 0x300001;
constexpr Platform::WindowId wezterm = 0x400001;
constexpr Platform::WindowId kittyProject = 0x500001;
constexpr Platform::WindowId kittyNotes = 0x500002;
constexpr Platform::WindowId vscode = 0x600001;

// A desktop with a browser in front and one terminal or editor of each kind, each running a shell.
void furnish(Desk& desk)
{
    auto& p = desk.processes;
    p.add(900, "firefox", 1);
    p.add(300, "xterm", 1);
    p.add(4101, "bash", 300, "/home/me/project");
    p.add(400, "wezterm-gui", 1);
    p.add(4102, "zsh", 400, "/home/me/notes");
    p.add(500, "kitty", 1);
    p.add(4188, "claude", 500, "/home/me/project");
    p.add(600, "code", 1);
    p.add(4200, "node", 600, "/home/me/project");

    desk.window(browser, 900, "firefox", "News", 10);
    desk.window(xterm, 300, "XTerm", "me@box: ~/project", 1);
    desk.window(wezterm, 400, "org.wezfurlong.wezterm", "claude", 2);
    desk.window(kittyProject, 500, "kitty", "~/project: claude", 3);
    desk.window(kittyNotes, 500, "kitty", "~/notes: vim", 4);
    desk.window(vscode, 600, "Code", "project - Visual Studio Code", 5);
    desk.windows.active = browser;
}

PawletKit::SessionTarget inXterm() { return target("claude-session-in-xterm", { 4101, 300 }, "pts/1"); }

}

// Each row: a waiting session in one terminal or editor, the stand-in tools installed, how the
// window manager behaves; then the outcome, the tools' calls and the window in front.
TEST(SessionFocuser, CarriesOutThePlanOfEachTerminalAndEditor)
{
    std::string const weztermListing = "case \"$1 $2\" in 'cli list') /bin/cat '" + fixture("wezterm_cli_list.json") + "';; esac";
    std::string const kittyListing = "case \"$2\" in ls) /bin/cat '" + fixture("kitty_ls.json") + "';; esac";
    struct Row {
        char const* name;
        PawletKit::SessionTarget target;
        std::vector<std::pair<std::string, std::string>> tools;
        bool honoursActivate { true };
        bool honoursRaiseAndFocus { true };
        std::string outcome;
        std::vector<std::string> calls;
        Platform::WindowId active;
    };
    auto const kittySession = target("s-kitty", { 4188, 500 }, "pts/7");
    auto const weztermSession = target("s-wezterm", { 4102, 400 }, "pts/5");
    auto const codeSession = target("s-code", { 4200, 600 });
    Row const rows[] = {
        { "xterm: activation only", inXterm(), {}, true, true, "success=true method=activate(options:) app=XTerm (XTerm) pid=300 script=-", {},
            xterm },
        { "WezTerm: the pane on the session's terminal", weztermSession, { { "wezterm", weztermListing } }, true, true,
            "success=true method=activate(options:) app=WezTerm (com.github.wez.wezterm) pid=400 script=wezterm(pane 1)",
            { "wezterm cli list --format json", "wezterm cli activate-pane --pane-id 1" }, wezterm },
        { "WezTerm without its tool", weztermSession, {}, true, true,
            "success=true method=activate(options:) app=WezTerm (com.github.wez.wezterm) pid=400 script=wezterm(cli-missing)", {},
            wezterm },
        { "WezTerm whose list fails", weztermSession, { { "wezterm", "exit 1" } }, true, true,
            "success=true method=activate(options:) app=WezTerm (com.github.wez.wezterm) pid=400 script=wezterm(list-failed)",
            { "wezterm cli list --format json" }, wezterm },
        { "WezTerm without a pane on that terminal", target("s-wezterm", { 4102, 400 }, "pts/9"), { { "wezterm", weztermListing } },
            true, true, "success=true method=activate(options:) app=WezTerm (com.github.wez.wezterm) pid=400 script=wezterm(pane-not-found)",
            { "wezterm cli list --format json" }, wezterm },
        { "WezTerm that cannot activate the pane", weztermSession, { { "wezterm", weztermListing + "; [ \"$2\" = list ] || exit 2" } },
            true, true,
            "success=true method=activate(options:) app=WezTerm (com.github.wez.wezterm) pid=400 script=wezterm(activate-failed)",
            { "wezterm cli list --format json", "wezterm cli activate-pane --pane-id 1" }, wezterm },
        { "kitty with remote control on", kittySession, { { "kitten", kittyListing } }, true, true,
            "success=true method=activate(options:) app=kitty (net.kovidgoyal.kitty) pid=500 script=kitty(window 1)",
            { "kitten @ ls", "kitten @ focus-window --match id:1" }, kittyProject },
        { "kitty itself when there is no kitten", kittySession, { { "kitty", kittyListing } }, true, true,
            "success=true method=activate(options:) app=kitty (net.kovidgoyal.kitty) pid=500 script=kitty(window 1)",
            { "kitty @ ls", "kitty @ focus-window --match id:1" }, kittyProject },
        // The window's own focus failed: said so, and kitty's window of the session is still raised.
        { "kitty that cannot focus the window", kittySession, { { "kitten", kittyListing + "; [ \"$2\" = ls ] || exit 1" } }, true, true,
            "success=true method=activate(options:) app=kitty (net.kovidgoyal.kitty) pid=500 script=kitty(focus-failed)",
            { "kitten @ ls", "kitten @ focus-window --match id:1" }, kittyProject },
        // Remote control off: kitty's window of the session is still raised, told by its title.
        { "kitty with remote control off", kittySession, { { "kitten", "echo 'Error: Remote control is disabled' >&2; exit 1" } }, true,
            true, "success=true method=activate(options:) app=kitty (net.kovidgoyal.kitty) pid=500 script=kitty(no-remote-control)",
            { "kitten @ ls" }, kittyProject },
        { "VS Code reopens the folder", codeSession, { { "code", "exit 0" } }, true, true,
            "success=true method=activate(options:) app=Visual Studio Code (com.microsoft.VSCode) pid=600 script=vscode(reuse-window)",
            { "code --reuse-window /home/me/project" }, vscode },
        { "VS Code whose launcher fails", codeSession, { { "code", "exit 3" } }, true, true,
            "success=true method=activate(options:) app=Visual Studio Code (com.microsoft.VSCode) pid=600 script=vscode(failed)",
            { "code --reuse-window /home/me/project" }, vscode },
        { "VS Code without its launcher", codeSession, {}, true, true,
            "success=true method=activate(options:) app=Visual Studio Code (com.microsoft.VSCode) pid=600 script=vscode(cli-missing)", {},
            vscode },
        { "a window manager that ignores the first request", inXterm(), {}, false, true,
            "success=true method=activate(from:) app=XTerm (XTerm) pid=300 script=-", {}, xterm },
        { "a window manager that refuses both", inXterm(), {}, false, false,
            "success=false method=no-bundle-url app=XTerm (XTerm) pid=300 script=-", {}, browser },
    };
    for (auto const& row : rows) {
        Desk desk;
        furnish(desk);
        desk.windows.honoursActivate = row.honoursActivate;
        desk.windows.honoursRaiseAndFocus = row.honoursRaiseAndFocus;
        for (auto const& [name, body] : row.tools)
            desk.tool(name, body);
        bool placed = false;
        auto outcome = desk.focus({ row.target }, &placed);
        EXPECT_TRUE(placed) << row.name;
        ASSERT_TRUE(outcome) << row.name;
        EXPECT_EQ(outcome->description(), row.outcome) << row.name;
        EXPECT_EQ(desk.toolCalls(), row.calls) << row.name;
        EXPECT_EQ(desk.windows.active, row.active) << row.name;
        EXPECT_EQ(desk.wait.workOffMainThread, int(row.calls.size())) << row.name << ": every tool ran off the main thread";
        EXPECT_FALSE(desk.focuser->isBusy()) << row.name;
    }
}

TEST(SessionFocuser, TriesTheSessionsInOrderAndLogsTheRequest)
{
    Desk desk;
    furnish(desk);
    // The first session has no window anywhere along its chain; the second lacks a directory,
    // which its shell's is taken for.
    testing::internal::CaptureStderr();
    auto outcome = desk.focus({ target("session-nowhere", { 7001, 7002 }), inXterm() });
    std::string const log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->success);
    EXPECT_EQ(log,
        "[Pupnik] focus: sid=claude-sessi source=claude pids=[4101, 300] tty=pts/1 cwd=/home/me/project → XTerm [XTerm] pid 300\n"
        "[Pupnik] focus: step 1 activate(options:) → true\n"
        "[Pupnik] focus: success=true method=activate(options:) app=XTerm (XTerm) pid=300 script=-\n");
    EXPECT_EQ(desk.windows.sent, (std::vector<FakeWindowSystem::Sent> { { FakeWindowSystem::Kind::activate, xterm } }));
}

TEST(SessionFocuser, AStepTwoLineOnlyWhenTheFirstRequestDidNotTakeEffect)
{
    Desk desk;
    furnish(desk);
    desk.windows.honoursActivate = false;
    testing::internal::CaptureStderr();
    auto outcome = desk.focus({ inXterm() });
    std::string const log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("focus: step 2 activate(from:) → true\n"), std::string::npos) << log;
    EXPECT_EQ(desk.windows.sent, (std::vector<FakeWindowSystem::Sent> { { FakeWindowSystem::Kind::activate, xterm }, { FakeWindowSystem::Kind::raiseAndFocus, xterm } }));
}

// The second step hands the focus over by force: only while the desktop still shows what it showed
// when the request was made (or the window manager cleared the active window), never once the user
// has chosen another window.
TEST(SessionFocuser, TheSecondStepNeverTakesTheFocusFromAWindowChosenMeanwhile)
{
    constexpr Platform::WindowId editor = 0x900002;
    struct Row {
        char const* name;
        std::optional<Platform::WindowId> activeBeforeStepTwo;
        bool stepTwo;
    };
    for (auto const& row : {
             Row { "unchanged", browser, true },
             Row { "cleared by the window manager", std::nullopt, true },
             Row { "another window chosen", editor, false },
             Row { "the session's window", xterm, false },
         }) {
        SCOPED_TRACE(row.name);
        Desk desk;
        furnish(desk);
        desk.window(editor, 900, "firefox", "Other", 11);
        desk.windows.honoursActivate = false;
        testing::internal::CaptureStderr();
        std::optional<SessionFocuser::Outcome> outcome;
        ASSERT_TRUE(desk.focuser->focus({ inXterm() }, [&](SessionFocuser::Outcome const& o) { outcome = o; }));
        desk.windows.active = row.activeBeforeStepTwo;
        desk.scheduler.advance(2);
        std::string const log = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(outcome);
        bool const raised = desk.windows.sent.size() == 2 && desk.windows.sent[1].kind == FakeWindowSystem::Kind::raiseAndFocus;
        EXPECT_EQ(raised, row.stepTwo) << log;
        if (!row.stepTwo && row.activeBeforeStepTwo == editor) {
            EXPECT_EQ(desk.windows.active, editor);
            EXPECT_FALSE(outcome->success);
            EXPECT_NE(log.find("focus: step 2 skipped"), std::string::npos) << log;
        }
    }
}

TEST(SessionFocuser, NothingPlaceableMeansFalseAndNothingElse)
{
    struct Row {
        char const* name;
        std::vector<PawletKit::SessionTarget> targets;
        PawletKit::Environment environment;
        std::string log;
    };
    Row const rows[] = {
        { "no session", {}, {}, "" },
        { "no window along the chain", { target("s", { 7001, 7002 }) }, {}, "" },
        // Only a helper window of its own (not a regular application).
        { "a process with only a tool window", { target("s", { 800 }) }, {}, "" },
        { "a codex session without codex's desktop application", { target("codex:abc", { 4101, 300 }) }, {}, "" },
        { "no window under Wayland", { target("s", { 7001 }) }, { { "WAYLAND_DISPLAY", "wayland-0" } },
            "[Pupnik] focus: unsupported — no process of the waiting sessions owns a window the X server can see (native Wayland "
            "windows cannot be brought forward)\n" },
    };
    for (auto const& row : rows) {
        Desk desk(row.environment);
        furnish(desk);
        desk.window(0x800001, 800, "panel", "tools");
        desk.windows.managed.back().isNormal = false;
        auto targets = row.targets;
        for (auto& t : targets)
            t.source = PawletKit::sessionSourceOf(t.sid);
        testing::internal::CaptureStderr();
        bool placed = true;
        auto outcome = desk.focus(targets, &placed);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), row.log) << row.name;
        EXPECT_FALSE(placed) << row.name;
        EXPECT_FALSE(outcome) << row.name;
        EXPECT_TRUE(desk.windows.sent.empty()) << row.name;
        EXPECT_EQ(desk.focuser->appName(targets), std::nullopt) << row.name;
    }
}

TEST(SessionFocuser, WithoutAnX11DisplayTheUserIsToldOnce)
{
    for (bool explains : { true, false }) {
        Desk desk;
        furnish(desk);
        desk.windows.supported = false;
        desk.focuser->jumper().showsExplanation = explains;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(desk.focus({ inXterm() }));
        EXPECT_FALSE(desk.focus({ inXterm() }));
        std::string const log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(desk.alerts.titles(), explains ? std::vector<std::string> { PupnikCore::localized("ax.title") } : std::vector<std::string> {});
        EXPECT_TRUE(desk.focuser->jumper().accessibilityDenied());
        EXPECT_EQ(log,
            "[Pupnik] focus: no X11 display reachable — told the user once; windows cannot be brought forward without one\n"
            "[Pupnik] focus: unsupported — no X11 display, so no window can be brought forward\n"
            "[Pupnik] focus: unsupported — no X11 display, so no window can be brought forward\n");
        EXPECT_EQ(desk.focuser->appName({ inXterm() }), std::nullopt);
    }
}

// While the first request waits for its tool, the event loop turns and the pet can be clicked again.
TEST(SessionFocuser, ASecondRequestWhileTheFirstPicksItsWindowIsRefused)
{
    Desk desk;
    furnish(desk);
    desk.tool("wezterm", "case \"$1 $2\" in 'cli list') /bin/cat '" + fixture("wezterm_cli_list.json") + "';; esac");
    std::optional<SessionFocuser::Outcome> second;
    bool secondPlaced = false;
    int nested = 0;
    desk.wait.whileWorking = [&] {
        if (nested++)
            return;
        EXPECT_TRUE(desk.focuser->isBusy());
        secondPlaced = desk.focuser->focus({ inXterm() }, [&](SessionFocuser::Outcome const& o) { second = o; });
    };
    auto first = desk.focus({ target("s-wezterm", { 4102, 400 }, "pts/5") });
    EXPECT_TRUE(secondPlaced);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->description(), "success=false method=busy app=XTerm (XTerm) pid=300 script=-");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->description(), "success=true method=activate(options:) app=WezTerm (com.github.wez.wezterm) pid=400 script=wezterm(pane 1)");
    EXPECT_EQ(desk.toolCalls().size(), 2u);
    EXPECT_EQ(desk.windows.active, wezterm);
}

TEST(SessionFocuser, AnApplicationGoneBeforeActivationIsReportedAtOnce)
{
    Desk desk;
    furnish(desk);
    desk.tool("wezterm", "exit 1");
    desk.wait.whileWorking = [&] { std::erase_if(desk.windows.managed, [](auto const& w) { return w.pid == 400; }); };
    std::optional<SessionFocuser::Outcome> outcome;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(desk.focuser->focus({ target("s-wezterm", { 4102, 400 }, "pts/5") }, [&](auto const& o) { outcome = o; }));
    std::string const log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(outcome) << "delivered before focus() returned";
    EXPECT_EQ(outcome->description(), "success=false method=gone app=WezTerm (com.github.wez.wezterm) pid=400 script=wezterm(list-failed)");
    EXPECT_EQ(log.find("step 1"), std::string::npos) << log;
    EXPECT_TRUE(desk.windows.sent.empty());
}

// Ghostty may not show its window yet when asked: the strategy runs once more after the activation.
TEST(SessionFocuser, AGhosttyRequestThatFoundNoWindowIsRetriedOnce)
{
    struct Row {
        char const* name;
        bool windowReturns;
        std::string outcome;
    };
    Row const rows[] = {
        { "the window shows up", true,
            "success=false method=gone app=Ghostty (com.mitchellh.ghostty) pid=700 script=ghostty(no-windows) → retry "
            "ghostty(raised:only-window)" },
        { "it never does", false,
            "success=false method=gone app=Ghostty (com.mitchellh.ghostty) pid=700 script=ghostty(no-windows) → retry ghostty(no-windows)" },
    };
    for (auto const& row : rows) {
        Desk desk;
        furnish(desk);
        desk.processes.add(700, "ghostty", 1);
        desk.processes.add(4300, "bash", 700, "/home/me/project");
        desk.window(0x700001, 700, "com.mitchellh.ghostty", "bash", 6);
        auto const ghostty = desk.windows.managed.back();
        int reads = 0;
        // Placed on the first read; gone for the strategy and the activation; back for the retry.
        desk.windows.onWindowsRead = [&] {
            ++reads;
            if (reads == 2)
                std::erase_if(desk.windows.managed, [](auto const& w) { return w.pid == 700; });
            if (reads == 4 && row.windowReturns)
                desk.windows.managed.push_back(ghostty);
        };
        auto outcome = desk.focus({ target("s-ghostty", { 4300, 700 }, "pts/4") });
        ASSERT_TRUE(outcome) << row.name;
        EXPECT_EQ(outcome->description(), row.outcome) << row.name;
    }
}

TEST(SessionFocuser, NamesTheApplicationAClickWouldBringForward)
{
    Desk desk;
    furnish(desk);
    desk.processes.add(810, "blank", 1);
    desk.processes.add(4810, "sh", 810);
    desk.window(0x810001, 810, " \t", "x");
    EXPECT_EQ(desk.focuser->appName({ inXterm() }), "XTerm");
    EXPECT_EQ(desk.focuser->appName({ target("s", { 7001 }), target("s-kitty", { 4188, 500 }) }), "kitty");
    EXPECT_EQ(desk.focuser->appName({ target("s", { 4810, 810 }) }), std::nullopt);
    EXPECT_TRUE(desk.windows.sent.empty());
}

TEST(SessionFocuser, DescribesItsOutcome)
{
    struct Row {
        SessionFocuser::Outcome outcome;
        char const* text;
    };
    PupnikCore::RunningAppInfo const named { 812, "org.gnome.Terminal", "Terminal", true };
    PupnikCore::RunningAppInfo const anonymous { 813, std::nullopt, std::nullopt, true };
    Row const rows[] = {
        { { true, "activate(from:)", named, "tab-selected" }, "success=true method=activate(from:) app=Terminal (org.gnome.Terminal) pid=812 script=tab-selected" },
        { { false, "gone", anonymous, std::nullopt }, "success=false method=gone app=- (-) pid=813 script=-" },
        { { false, "busy", std::nullopt, std::nullopt }, "success=false method=busy app=- (-) pid=0 script=-" },
    };
    for (auto const& row : rows)
        EXPECT_EQ(row.outcome.description(), row.text);
}

// A terminal whose one process owns several windows: the session's window is the one its title
// names by terminal or folder, else the one used last; a dialog is never the session's window.
TEST(SessionFocuser, ActivatesTheSessionsWindowAmongTheWindowsOfItsProcess)
{
    struct Window {
        Platform::WindowId id;
        std::string title;
        size_t stacking;
        bool normal { true };
    };
    struct Row {
        char const* name;
        std::optional<std::string> tty;
        std::vector<Window> windows;
        Platform::WindowId active;
    };
    Row const rows[] = {
        { "the terminal in the title", "pts/3", { { 0x300001, "zsh pts/31", 9 }, { 0x300002, "zsh pts/3", 2 }, { 0x300003, "~/notes", 5 } },
            0x300002 },
        { "the folder in the title", "pts/3", { { 0x300001, "~/notes", 9 }, { 0x300002, "zsh", 7 }, { 0x300003, "~/project", 2 } }, 0x300003 },
        { "nothing tells: the one used last", "pts/3", { { 0x300001, "zsh", 2 }, { 0x300002, "vim", 9 }, { 0x300003, "top", 4 } },
            0x300002 },
        { "a dialog used later is passed over", std::nullopt,
            { { 0x300001, "zsh", 2 }, { 0x300002, "htop", 6 }, { 0x300003, "Really quit?", 9, false } }, 0x300002 },
        { "the only ordinary window", std::nullopt, { { 0x300001, "Preferences", 9, false }, { 0x300002, "zsh", 1 } }, 0x300002 },
    };
    for (auto const& row : rows) {
        Desk desk;
        desk.processes.add(900, "firefox", 1);
        desk.processes.add(300, "xterm", 1);
        desk.processes.add(4101, "bash", 300, "/home/me/project");
        desk.window(browser, 900, "firefox", "News", 10);
        for (auto const& window : row.windows) {
            desk.window(window.id, 300, "XTerm", window.title, window.stacking);
            desk.windows.managed.back().isNormal = window.normal;
        }
        desk.windows.active = browser;
        auto outcome = desk.focus({ target("s", { 4101, 300 }, row.tty) });
        ASSERT_TRUE(outcome) << row.name;
        EXPECT_TRUE(outcome->success) << row.name;
        EXPECT_EQ(desk.windows.active, row.active) << row.name;
    }
}
