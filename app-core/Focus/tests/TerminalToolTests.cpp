#include "app-core/Focus/EditorCLI.hpp"
#include "app-core/Focus/KittyCLI.hpp"
#include "app-core/Focus/ToolListing.hpp"
#include "app-core/Focus/ToolLocations.hpp"
#include "app-core/Focus/WezTermCLI.hpp"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

using namespace PupnikCore;
namespace fs = std::filesystem;

namespace {

std::string fixture(char const* name)
{
    std::ifstream in(fs::path(PUPNIK_SOURCE_DIR) / "app-core/Focus/tests/fixtures" / name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string nested(size_t depth, std::string const& inner)
{
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

std::string repeatedObjects(size_t count, std::string const& object)
{
    std::string text = "[";
    for (size_t i = 0; i < count; ++i)
        text += (i ? "," : "") + object;
    return text + "]";
}

std::string kittyWindow(std::string const& id, std::string const& cwd, std::string const& processes)
{
    return R"({"tabs":[{"windows":[{"id":)" + id + R"(,"cwd":)" + cwd + R"(,"foreground_processes":)" + processes + "}]}]}";
}

}

TEST(WezTermCLI, FindsThePaneOfATerminalInARealListing)
{
    std::string const listing = fixture("wezterm_cli_list.json");
    struct Case {
        char const* tty;
        std::optional<int64_t> pane;
    };
    Case const cases[] = {
        { "pts/3", 0 },
        { "pts/5", 1 },
        { "pts/12", 7 },
        // The remote pane reports no terminal; names are compared whole.
        { "pts/1", std::nullopt },
        { "pts/7", std::nullopt },
        // Names that could never be a terminal are not looked up.
        { "/dev/pts/3", std::nullopt },
        { "pts", std::nullopt },
        { "", std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(WezTermCLI::paneID(listing, c.tty), c.pane) << c.tty;
}

TEST(WezTermCLI, ReadsTerminalNamesAndPaneIdsLeniently)
{
    struct Case {
        char const* listing;
        char const* tty;
        std::optional<int64_t> pane;
    };
    Case const cases[] = {
        // Two panes on one device: the first in the listing.
        { R"([{"tty_name":"/dev/ttys007","pane_id":3},{"tty_name":"/dev/ttys007","pane_id":9}])", "ttys007", 3 },
        { R"([{"tty_name":"/dev/ttys007","pane_id":3}])", "ttys7", std::nullopt },
        // Without "/dev/" in front the name still matches.
        { R"([{"tty_name":"pts/4","pane_id":2}])", "pts/4", 2 },
        { R"([{"tty_name":"/dev/pts/4","pane_id":"12"}])", "pts/4", 12 },
        { R"([{"tty_name":"/dev/pts/4","pane_id":12.9}])", "pts/4", 12 },
        // A pane without a usable id is passed over for the next one on the device.
        { R"([{"tty_name":"/dev/pts/4","pane_id":true},{"tty_name":"/dev/pts/4","pane_id":5}])", "pts/4", 5 },
        { R"([{"tty_name":"/dev/pts/4"},{"tty_name":"/dev/pts/4","pane_id":null}])", "pts/4", std::nullopt },
        { R"([{"tty_name":"/dev/pts/4","pane_id":-1}])", "pts/4", std::nullopt },
        // Only a string names a device.
        { R"([{"tty_name":4,"pane_id":1},{"tty_name":["/dev/pts/4"],"pane_id":2}])", "pts/4", std::nullopt },
        { R"([{"tty_name":"/dev/dev/pts/4","pane_id":1}])", "pts/4", std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(WezTermCLI::paneID(c.listing, c.tty), c.pane) << c.listing;
}

TEST(KittyCLI, FindsTheWindowOfASessionInARealListing)
{
    std::string const listing = fixture("kitty_ls.json");
    struct Case {
        std::vector<int32_t> pids;
        std::optional<std::string> cwd;
        std::optional<int64_t> window;
    };
    Case const cases[] = {
        // The agent's own process is in the foreground of window 1, which shares its folder with window 2.
        { { 0, 4188 }, "/home/me/project", 1 },
        { { 4188, 4120, 812 }, std::nullopt, 1 },
        // Any foreground process counts, in any OS window.
        { { 7010 }, std::nullopt, 7 },
        // Nobody runs the processes: the one window in the folder.
        { { 999 }, "/home/me/notes/", 3 },
        { {}, " /srv/api ", 7 },
        // Two windows in the folder: neither is the session's for sure.
        { { 999 }, "/home/me/project", std::nullopt },
        { { -4188, 0 }, std::nullopt, std::nullopt },
        { {}, "/home/me", std::nullopt },
        { {}, "relative/path", std::nullopt },
    };
    for (auto const& c : cases) {
        std::optional<std::string_view> cwd;
        if (c.cwd)
            cwd = *c.cwd;
        EXPECT_EQ(KittyCLI::windowID(listing, c.pids, cwd), c.window) << c.pids.size() << " " << c.cwd.value_or("-");
    }
}

TEST(KittyCLI, ComparesProcessIdsInSixtyFourBits)
{
    // 2^32 + 4188 would read as 4188 if it were cut to 32 bits.
    std::string const beyond = "[" + kittyWindow("5", "\"/tmp/a\"", R"([{"pid":4294971484}])") + "]";
    EXPECT_EQ(KittyCLI::windowID(beyond, std::vector<int32_t> { 4188 }, std::nullopt), std::nullopt);
    // -2^32 + 4188 likewise.
    std::string const below = "[" + kittyWindow("5", "\"/tmp/a\"", R"([{"pid":-4294963108}])") + "]";
    EXPECT_EQ(KittyCLI::windowID(below, std::vector<int32_t> { 4188 }, std::nullopt), std::nullopt);
    // Such a window can still be found by its folder.
    EXPECT_EQ(KittyCLI::windowID(beyond, std::vector<int32_t> { 4188 }, "/tmp/a"), 5);
}

TEST(KittyCLI, ReadsWindowsAndProcessesLeniently)
{
    struct Case {
        std::string listing;
        std::optional<int64_t> window;
    };
    Case const cases[] = {
        { "[" + kittyWindow("\"12\"", "null", R"([{"pid":"4188"}])") + "]", 12 },
        { "[" + kittyWindow("12", "null", R"([{"pid":4188.7}])") + "]", 12 },
        // A matching window without an id gives way to the next window that runs the process.
        { "[" + kittyWindow("null", "null", R"([{"pid":4188}])") + "," + kittyWindow("4", "null", R"([{"pid":4188}])") + "]", 4 },
        { "[" + kittyWindow("-2", "null", R"([{"pid":4188}])") + "]", std::nullopt },
        { "[" + kittyWindow("12", "null", R"([{"pid":true}])") + "]", std::nullopt },
        // Anything but an array of objects counts as no processes, tabs or windows.
        { "[" + kittyWindow("12", "null", R"({"pid":4188})") + "]", std::nullopt },
        { "[" + kittyWindow("12", "null", R"([{"pid":4188}, 7])") + "]", std::nullopt },
        { R"([{"tabs":{"windows":[{"id":1,"foreground_processes":[{"pid":4188}]}]}}])", std::nullopt },
        { R"([{"tabs":[{"windows":[{"id":1,"foreground_processes":[{"pid":4188}]}, "x"]}]}])", std::nullopt },
        // A broken OS window elsewhere does not hide a good one.
        { R"([{"tabs":5},)" + kittyWindow("9", "null", R"([{"pid":4188}])") + "]", 9 },
    };
    for (auto const& c : cases)
        EXPECT_EQ(KittyCLI::windowID(c.listing, std::vector<int32_t> { 4188 }, std::nullopt), c.window) << c.listing;

    // The folder must be a string; one that fails the checks matches nothing.
    std::string const folders = "[" + kittyWindow("1", "5", "[]") + "," + kittyWindow("2", "\"/tmp/x\\n/tmp/x\"", "[]") + ","
        + kittyWindow("3", "\"/tmp/x/\"", "[]") + "]";
    EXPECT_EQ(KittyCLI::windowID(folders, {}, "/tmp/x"), 3);
}

TEST(TerminalTools, HostileAnswersGiveNoResult)
{
    std::string const pane = R"({"tty_name":"/dev/pts/4","pane_id":1})";
    std::string const window = kittyWindow("1", "\"/tmp\"", R"([{"pid":4188}])");
    std::string const huge = "[" + pane + "," + std::string(ToolListing::maxBytes, ' ') + "]";
    std::vector<std::string> const answers = {
        "",
        "not json",
        R"({"tty_name":"/dev/pts/4","pane_id":1})",
        "[" + pane + ", 3]",
        "[" + pane + "] trailing",
        "[" + pane + ",",
        "\"[]\"",
        "[" + window + ", null]",
        // Nesting past the parser's limit is refused before anything recursive runs.
        nested(100000, "[" + pane + "]"),
        "[" + pane + "," + nested(600, "") + "]",
        // More entries than a desktop has.
        repeatedObjects(ToolListing::maxEntries + 1, pane),
        repeatedObjects(ToolListing::maxEntries + 1, window),
        huge,
        std::string("[\"\xFF\"]"),
    };
    for (auto const& answer : answers) {
        EXPECT_EQ(WezTermCLI::paneID(answer, "pts/4"), std::nullopt) << answer.substr(0, 80);
        EXPECT_EQ(KittyCLI::windowID(answer, std::vector<int32_t> { 4188 }, "/tmp"), std::nullopt) << answer.substr(0, 80);
    }
    // The bounds leave real listings alone.
    EXPECT_EQ(WezTermCLI::paneID(repeatedObjects(ToolListing::maxEntries, pane), "pts/4"), 1);
    EXPECT_EQ(WezTermCLI::paneID(nested(1, pane), "pts/4"), 1);
}

TEST(KittyCLI, BoundsTheWindowsGatheredAcrossTabs)
{
    // Each array is within its bound, but all tabs together hold more windows than a desktop has.
    std::string const windows = repeatedObjects(ToolListing::maxEntries / 2 + 1, R"({"id":1,"cwd":"/other"})");
    std::string const tab = R"({"windows":)" + windows + "}";
    std::string const listing = R"([{"tabs":[)" + tab + "," + tab + R"(]},)" + kittyWindow("2", "\"/tmp\"", "[]") + "]";
    EXPECT_EQ(KittyCLI::windowID(listing, {}, "/tmp"), std::nullopt);

    std::string const fewer = repeatedObjects(ToolListing::maxEntries / 2 - 1, R"({"id":1,"cwd":"/other"})");
    std::string const smallTab = R"({"windows":)" + fewer + "}";
    std::string const within = R"([{"tabs":[)" + smallTab + "," + smallTab + R"(]},)" + kittyWindow("2", "\"/tmp\"", "[]") + "]";
    EXPECT_EQ(KittyCLI::windowID(within, {}, "/tmp"), 2);
}

TEST(TerminalTools, ArgumentLists)
{
    using Arguments = std::vector<std::string>;
    EXPECT_EQ(WezTermCLI::listArguments(), (Arguments { "cli", "list", "--format", "json" }));
    EXPECT_EQ(WezTermCLI::activateArguments(5), (Arguments { "cli", "activate-pane", "--pane-id", "5" }));
    EXPECT_EQ(KittyCLI::listArguments(), (Arguments { "@", "ls" }));
    EXPECT_EQ(KittyCLI::focusArguments(42), (Arguments { "@", "focus-window", "--match", "id:42" }));
    EXPECT_EQ(KittyCLI::focusArguments(9007199254740993), (Arguments { "@", "focus-window", "--match", "id:9007199254740993" }));

    struct Case {
        std::optional<std::string_view> cwd;
        std::optional<Arguments> arguments;
    };
    Case const cases[] = {
        { "/home/me/project/", Arguments { "--reuse-window", "/home/me/project" } },
        { " /tmp/x\n", Arguments { "--reuse-window", "/tmp/x" } },
        { "relative", std::nullopt },
        // A folder that looks like an option never reaches the command line.
        { "--help", std::nullopt },
        { "", std::nullopt },
        { std::nullopt, std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(EditorCLI::arguments(c.cwd), c.arguments) << c.cwd.value_or("(none)");
}

TEST(ToolLocations, SearchesPathThenKnownPlaces)
{
    PawletKit::Environment const environment {
        { "PATH", "/home/me/bin:relative/bin::/usr/bin/:/usr/local/bin:/home/me/bin" },
        { "HOME", "/home/me" },
    };
    std::vector<fs::path> const expected {
        "/home/me/bin/wezterm",
        "/usr/bin/wezterm",
        "/usr/local/bin/wezterm",
        "/opt/homebrew/bin/wezterm",
        "/Applications/WezTerm.app/Contents/MacOS/wezterm",
        "/home/me/.local/bin/wezterm",
        "/snap/bin/wezterm",
    };
    EXPECT_EQ(WezTermCLI::candidatePaths(environment), expected);

    // Without PATH or HOME only the fixed places remain; a relative HOME is not used.
    std::vector<fs::path> const fixed {
        "/opt/homebrew/bin/wezterm",
        "/usr/local/bin/wezterm",
        "/Applications/WezTerm.app/Contents/MacOS/wezterm",
        "/usr/bin/wezterm",
        "/snap/bin/wezterm",
    };
    EXPECT_EQ(WezTermCLI::candidatePaths({ { "HOME", "me" } }), fixed);

    std::string manyDirectories;
    for (int i = 0; i < 200; ++i)
        manyDirectories += "/d" + std::to_string(i) + ":";
    EXPECT_EQ(ToolLocations::searchDirectories({ { "PATH", manyDirectories } }).size(), ToolLocations::maxSearchDirectories);
}

TEST(ToolLocations, KittenComesBeforeKittyAndEditorsHaveTheirOwn)
{
    PawletKit::Environment const environment { { "PATH", "/usr/bin" }, { "HOME", "/home/me" } };
    auto kitty = KittyCLI::candidatePaths(environment);
    auto position = [&](fs::path const& path) { return std::find(kitty.begin(), kitty.end(), path) - kitty.begin(); };
    ASSERT_FALSE(kitty.empty());
    EXPECT_EQ(kitty.front(), "/usr/bin/kitten");
    EXPECT_LT(position("/home/me/.local/kitty.app/bin/kitten"), position("/usr/bin/kitty"));
    EXPECT_LT(position("/Applications/kitty.app/Contents/MacOS/kitten"), position("/Applications/kitty.app/Contents/MacOS/kitty"));
    EXPECT_EQ(kitty.back(), "/home/me/.local/kitty.app/bin/kitty");
    for (auto const& path : kitty)
        EXPECT_TRUE(path.filename() == "kitten" || path.filename() == "kitty") << path;

    auto code = EditorCLI::candidatePaths(TerminalApp::vscode, environment);
    ASSERT_FALSE(code.empty());
    EXPECT_EQ(code.front(), "/usr/bin/code");
    EXPECT_NE(std::find(code.begin(), code.end(), "/Applications/Visual Studio Code - Insiders.app/Contents/Resources/app/bin/code"), code.end());
    EXPECT_NE(std::find(code.begin(), code.end(), "/usr/bin/codium"), code.end());
    auto cursor = EditorCLI::candidatePaths(TerminalApp::cursor, environment);
    ASSERT_FALSE(cursor.empty());
    EXPECT_EQ(cursor.front(), "/usr/bin/cursor");
    for (auto const& path : cursor)
        EXPECT_EQ(path.filename(), "cursor") << path;
    for (auto app : { TerminalApp::warp, TerminalApp::kitty, TerminalApp::appleTerminal })
        EXPECT_TRUE(EditorCLI::candidatePaths(app, environment).empty()) << TerminalApp(app).rawValue();

    for (auto const& list : { kitty, code, cursor })
        for (auto const& path : list)
            EXPECT_TRUE(path.is_absolute()) << path;
}
