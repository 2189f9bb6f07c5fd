#include "FocusTestSupport.hpp"

#include "app-core/Focus/GhosttyPlan.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;
using Decision = GhosttyDecision;

namespace {

GhosttyWindow window(int64_t index, std::optional<std::string> title, std::optional<std::string> document = std::nullopt,
    bool minimized = false)
{
    return GhosttyWindow { index, std::move(title), std::move(document), minimized };
}

}

TEST(GhosttyPlan, DecidesWhichWindowToRaise)
{
    struct Case {
        char const* label;
        std::vector<GhosttyWindow> windows;
        std::optional<std::string_view> tty;
        std::optional<std::string_view> cwd;
        Decision expected;
    };
    Case const cases[] = {
        { "no windows", {}, "pts/3", "/tmp", Decision::ActivateOnly {} },
        { "one normal among minimised",
            { window(0, "a", std::nullopt, true), window(1, "b", std::nullopt, true), window(2, "c"), window(3, "d", std::nullopt, true) },
            std::nullopt, std::nullopt, Decision::Raise { 2, "only-window" } },
        { "all minimised count", { window(0, "a", std::nullopt, true), window(1, "b", std::nullopt, true) }, std::nullopt, std::nullopt,
            Decision::ActivateOnly {} },
        { "single minimised", { window(4, "a", std::nullopt, true) }, std::nullopt, std::nullopt, Decision::Raise { 4, "only-window" } },
        { "document", { window(0, "zsh", "file:///Users/me/app/"), window(1, "zsh", "/Users/me/lib") }, std::nullopt, "/Users/me/app",
            Decision::Raise { 0, "cwd" } },
        // pts/40 is another terminal, not the session's pts/4, whichever comes first.
        { "terminal in title", { window(0, "zsh pts/40"), window(1, "zsh pts/4") }, "pts/4", std::nullopt,
            Decision::Raise { 1, "tty-in-title" } },
        { "terminal in title, followed", { window(0, "pts/4: claude"), window(1, "pts/41 pts/4x") }, "pts/4", std::nullopt,
            Decision::Raise { 0, "tty-in-title" } },
        { "only longer terminals", { window(0, "pts/40"), window(1, "pts/41") }, "pts/4", std::nullopt,
            Decision::Probe { "pts/4", { 0, 1 } } },
        { "terminal in title, darwin name", { window(0, "zsh ttys004"), window(1, "zsh ttys040") }, "ttys004", std::nullopt,
            Decision::Raise { 0, "tty-in-title" } },
        // A name that only begins a longer one decides nothing; the probe does.
        { "terminal in both titles", { window(0, "zsh ttys004"), window(1, "zsh ttys040") }, "ttys00", std::nullopt,
            Decision::Probe { "ttys00", { 0, 1 } } },
        { "terminal named twice", { window(0, "pts/2 and pts/2"), window(1, "pts/2") }, "pts/2", std::nullopt,
            Decision::Probe { "pts/2", { 0, 1 } } },
        { "terminal case matters", { window(0, "PTS/4"), window(1, "x") }, "pts/4", std::nullopt, Decision::Probe { "pts/4", { 0, 1 } } },
        { "folder name in title", { window(0, "myapp: vim"), window(1, "notes") }, std::nullopt, "/Users/me/MyApp",
            Decision::Raise { 0, "cwd-basename-in-title" } },
        { "folder name with accents", { window(0, "x"), window(1, "\xC3\x89T\xC3\x89 \xE2\x80\x94 zsh") }, std::nullopt, "/home/\xC3\xA9t\xC3\xA9",
            Decision::Raise { 1, "cwd-basename-in-title" } },
        { "root has no name", { window(0, "/"), window(1, "notes") }, std::nullopt, "/", Decision::ActivateOnly {} },
        { "equal titles", { window(0, "zsh"), window(1, "zsh") }, "ttys001", std::nullopt, Decision::Probe { "ttys001", { 0, 1 } } },
        { "invalid terminal", { window(0, "zsh"), window(1, "zsh") }, "console", std::nullopt, Decision::ActivateOnly {} },
        { "absent titles", { window(0, std::nullopt), window(1, std::nullopt) }, "pts/1", "/srv/api", Decision::Probe { "pts/1", { 0, 1 } } },
        // Two windows show the folder: the probe watches only them.
        { "probe among documents",
            { window(0, "zsh", "/srv/api"), window(1, "zsh", "/srv/other"), window(2, "zsh", "file:///srv/api/") }, "pts/9", "/srv/api",
            Decision::Probe { "pts/9", { 0, 2 } } },
        // Minimised windows are left out of the candidates, and indices are the windows' own.
        { "probe skips minimised", { window(5, "zsh"), window(6, "zsh", std::nullopt, true), window(7, "zsh") }, "pts/9", std::nullopt,
            Decision::Probe { "pts/9", { 5, 7 } } },
        // The rules go in order: a unique document wins over a title naming the terminal.
        { "document before title", { window(0, "pts/2", "/a"), window(1, "x", "/b") }, "pts/2", "/b", Decision::Raise { 1, "cwd" } },
        { "two documents fall through", { window(0, "pts/2", "/b"), window(1, "x", "/b") }, "pts/2", "/b",
            Decision::Raise { 0, "tty-in-title" } },
    };
    for (auto const& c : cases)
        EXPECT_EQ(GhosttyPlan::decide(c.windows, c.tty, c.cwd), c.expected) << c.label;
}

TEST(GhosttyPlan, ProbeTokenAndTitleSequence)
{
    EXPECT_EQ(GhosttyPlan::probeToken([] { return 42u; }), "pawlet-0000002a");
    EXPECT_EQ(GhosttyPlan::probeToken([] { return 0xFFFFFFFFu; }), "pawlet-ffffffff");

    struct Case {
        std::string title;
        std::string expected;
    };
    std::string const letters(300, 'x');
    std::string emoji;
    for (int i = 0; i < 300; ++i)
        emoji += "\xF0\x9F\x90\x95";
    Case const cases[] = {
        { "a\x07"
          "b\nc",
            "\x1B]2;abc\x1B\\" },
        { letters, "\x1B]2;" + letters.substr(0, 256) + "\x1B\\" },
        // Scalars, not bytes, are counted, and none is cut in half.
        { emoji, "\x1B]2;" + emoji.substr(0, 256 * 4) + "\x1B\\" },
        // An escape in the title cannot end the sequence early; C1 characters are kept.
        { "x\x1B\\y\x1B]0;z\x7F", "\x1B]2;x\\y]0;z\x1B\\" },
        { "\xC2\x9C"
          "ok",
            "\x1B]2;\xC2\x9C"
            "ok\x1B\\" },
        { "bad\xFF", "\x1B]2;bad\xEF\xBF\xBD\x1B\\" },
        { "", "\x1B]2;\x1B\\" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(GhosttyPlan::titleSequence(c.title), c.expected) << c.title.substr(0, 20);
}

TEST(GhosttyPlan, MatchesTheProbeAndRestoresTitlesWithoutBells)
{
    std::string const bell(GhosttyPlan::bell);
    struct StripCase {
        std::string text;
        std::string expected;
    };
    StripCase const strips[] = {
        { bell + " " + bell + "  build", "build" },
        { "x " + bell, "x " + bell },
        { bell + bell + "\tx", "\tx" },
        { bell, "" },
        { "", "" },
    };
    for (auto const& c : strips)
        EXPECT_EQ(GhosttyPlan::stripBell(c.text), c.expected) << c.text;

    std::vector<GhosttyWindow> const windows { window(3, "vim"), window(4, bell + " claude"), window(8, std::nullopt) };
    using Titles = std::vector<std::optional<std::string>>;
    using Match = GhosttyPlan::ProbeMatch;
    struct Case {
        char const* label;
        Titles titles;
        std::string token;
        std::optional<Match> expected;
    };
    Case const cases[] = {
        { "second window", { "vim", "pawlet-0000002a", "x" }, "pawlet-0000002a", Match { 1, 4, "claude" } },
        { "first of two", { "pawlet-1 a", "pawlet-1 b", std::nullopt }, "pawlet-1", Match { 0, 3, "vim" } },
        { "no title before", { "vim", "zsh", "[pawlet-1]" }, "pawlet-1", Match { 2, 8, "" } },
        // Fewer titles than windows: the windows without one are left out.
        { "short list", { "vim" }, "vim", Match { 0, 3, "vim" } },
        { "short list misses", { std::nullopt, std::nullopt }, "pawlet-1", std::nullopt },
        { "titles beyond windows", { "a", "b", "c", "pawlet-1" }, "pawlet-1", std::nullopt },
        { "empty token", { "vim", "zsh", "x" }, "", std::nullopt },
        { "case matters", { "PAWLET-1", "x", "y" }, "pawlet-1", std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(GhosttyPlan::matchProbe(windows, c.titles, c.token), c.expected) << c.label;

    EXPECT_FALSE(GhosttyPlan::titleContains(std::nullopt, "x"));
    EXPECT_FALSE(GhosttyPlan::titleContains("abc", ""));
    EXPECT_TRUE(GhosttyPlan::titleContains("abc", "bc"));
}
