#include "app-core/DebugText.hpp"

#include <gtest/gtest.h>
#include <limits>

using namespace PupnikCore;

TEST(DebugText, Numbers)
{
    struct Case {
        double value;
        char const* text;
    };
    for (auto const& [value, text] : {
             Case { 3, "3.0" },
             Case { 0, "0.0" },
             Case { 0.25, "0.25" },
             Case { -12.5, "-12.5" },
             Case { 1e21, "1e+21" },
             Case { std::numeric_limits<double>::infinity(), "inf" },
         }) {
        EXPECT_EQ(DebugText::number(value), text);
    }
}

TEST(DebugText, DatesAreUTCWithNumericZone)
{
    EXPECT_EQ(DebugText::date(PawletKit::Date::fromSeconds(1'796'807'880.9)), "2026-12-09 09:18:00 +0000");
    EXPECT_EQ(DebugText::date(PawletKit::Date::fromSeconds(0)), "1970-01-01 00:00:00 +0000");
    EXPECT_EQ(DebugText::date(PawletKit::Date::fromSeconds(std::numeric_limits<double>::quiet_NaN())), "1970-01-01 00:00:00 +0000");
}

TEST(DebugText, ListsAndDictionaries)
{
    EXPECT_EQ(DebugText::list(std::vector<int32_t> {}), "[]");
    EXPECT_EQ(DebugText::list(std::vector<int32_t> { 4242, 4243 }), "[4242, 4243]");
    EXPECT_EQ(DebugText::list(std::vector<std::string> { "zsh", "claude" }), "[\"zsh\", \"claude\"]");
    EXPECT_EQ(DebugText::dictionary({}), "[:]");
    EXPECT_EQ(DebugText::dictionary({ { "codex", 1 }, { "claude", 2 } }), "[\"claude\": 2, \"codex\": 1]");
}

TEST(DebugText, WaitingFieldsWithAndWithoutFolder)
{
    PawletKit::SessionTarget target;
    target.sid = "abc";
    target.source = PawletKit::SessionSource::process;
    target.since = PawletKit::Date::fromSeconds(0);
    EXPECT_EQ(DebugText::waitingFields(target, true), "sid=abc source=process pids=[] names=[] tty=- cwd=- since=1970-01-01 00:00:00 +0000");
    target.tty = "pts/1";
    target.cwd = "/w";
    EXPECT_EQ(DebugText::waitingFields(target, false), "sid=abc source=process pids=[] names=[] tty=pts/1 since=1970-01-01 00:00:00 +0000");
    EXPECT_EQ(DebugText::waitingFields(target, true), "sid=abc source=process pids=[] names=[] tty=pts/1 cwd=/w since=1970-01-01 00:00:00 +0000");
}

TEST(DebugText, WindowListFrontFirstAtMostEight)
{
    EXPECT_EQ(DebugText::windowList(std::nullopt), "windows: unavailable\n");
    EXPECT_EQ(DebugText::windowList(std::vector<Platform::ManagedWindow> {}), "");

    std::vector<Platform::ManagedWindow> windows;
    for (size_t i = 0; i < 10; ++i) {
        Platform::ManagedWindow window;
        window.id = i + 1;
        window.pid = int32_t(100 + i);
        window.wmClass = "App" + std::to_string(i);
        window.title = "w" + std::to_string(i);
        window.stackingOrder = i;
        windows.push_back(window);
    }
    windows[9].isNormal = false; // a panel on top
    windows[8].wmClass.reset();
    windows[8].wmInstance = "inst";
    windows[7].wmClass.reset();
    windows[7].title = "line\nbreak";
    auto const text = DebugText::windowList(windows);
    EXPECT_EQ(text,
        "window: owner=inst pid=108 layer=0 name=w8\n"
        "window: owner=? pid=107 layer=0 name=line\\nbreak\n"
        "window: owner=App6 pid=106 layer=0 name=w6\n"
        "window: owner=App5 pid=105 layer=0 name=w5\n"
        "window: owner=App4 pid=104 layer=0 name=w4\n"
        "window: owner=App3 pid=103 layer=0 name=w3\n"
        "window: owner=App2 pid=102 layer=0 name=w2\n"
        "window: owner=App1 pid=101 layer=0 name=w1\n");
}
