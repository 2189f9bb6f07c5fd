#include "app-core/StatusReport.hpp"
#include "app-core/StatusText.hpp"
#include "app-core/tests/StatusTextTables.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;
using PawletKit::Date;
using StatusTextTables::english;
using StatusTextTables::zone;

namespace {

// 2026-12-09 09:18:00 UTC.
Date const now = Date::fromSeconds(1'796'807'880);

StatusReport liveReport()
{
    StatusReport report;
    report.now = now;
    report.pid = 4242;
    report.launched = true;
    report.language = "en";
    report.languageOverride = "de";
    auto& state = report.model.state;
    state.gait = PawletKit::Gait::walk;
    state.mood = PawletKit::Mood::poop;
    state.busySessions = 2;
    state.knownSessions = 3;
    state.waitingSessions = 1;
    state.sourceCounts = { { "claude", 2 }, { "codex", 1 } };
    // Readings whose fractions tell "%.2f" from any other form: 1.00 and 0.03.
    state.quotaBySource["codex"].sevenDayUsed = 3.456;
    state.quotaBySource["claude"].fiveHourUsed = 100;
    report.model.connection = ConnectionState::connected;
    report.model.installed = true;
    report.model.settings.discreet = false;
    report.model.settings.sounds = true;
    report.model.settings.skin = Skin::geo;
    // Sync differs from the switches around it in this report or in the demo's.
    report.model.settings.syncToDevices = false;
    report.systemOutputSilent = true;
    report.cloud = SyncStatus::ready(now + (-60));
    report.driver = StatusReport::Driver { 12, 3, 0, true, true, "/home/u/.codex/sessions", "watching 1 file", { "/home/u/.codex/sessions/a.jsonl" } };
    PawletKit::SessionTarget target;
    target.sid = "s-1";
    target.pids = { 4242, 4243 };
    target.names = { "claude", "bash" };
    target.tty = "pts/3";
    target.since = now + (-90);
    report.waiting = { target };
    PawletKit::ApprovalRequest request;
    request.id = "r1";
    request.tool = "Bash";
    request.sessionId = "s-1";
    request.cwd = "/home/u/project";
    request.truncated = true;
    report.approvals = { request };
    report.popoverShown = true;
    report.hooksUpgradeNeeded = true;
    return report;
}

std::vector<std::string> expectedTextLines(StatusReport const& report)
{
    std::vector<std::string> lines;
    lines.push_back("statusLine: "
        + StatusText::headline(report.model.state, report.model.connection, now, english(), zone, std::nullopt));
    auto const header = StatusText::tooltipLines(report.model.state, report.model.connection, report.model.demoClip.has_value(),
        report.model.settings.discreet, now, english(), zone, std::nullopt);
    for (size_t i = 0; i < header.size(); ++i)
        lines.push_back("header[" + std::to_string(i) + "]: " + header[i]);
    return lines;
}

}

TEST(StatusReport, LinesOfALivePet)
{
    auto const report = liveReport();
    std::vector<std::string> expected {
        "Hummo Pawlet 2026-12-09T09:18:00Z pid 4242 launched=true",
        "language=en choice=system override=de",
    };
    for (auto const& line : expectedTextLines(report))
        expected.push_back(line);
    auto const bars = StatusText::quotaBars(report.model.state, false, english());
    ASSERT_EQ(bars.size(), 2u);
    for (auto const& line : std::vector<std::string> {
             "state: gait=walk mood=poop busy=2 known=3 waiting=1 sources=[\"claude\": 2, \"codex\": 1]",
             "quotaBySource: claude=5h:100%/7d:-/resets:- codex=5h:-/7d:3%/resets:- activeSources=[\"claude\", \"codex\"]",
             "quota bar: claude 1.00 \"" + bars[0].text + "\"",
             "quota bar: codex 0.03 \"" + bars[1].text + "\"",
             "sound: enabled=true systemOutputSilent=true",
             "settings: discreet=false visible=true skin=geo codex=true process=true sync=false",
             "connection=connected installed=true demoClip=-",
             "cloud: state=ready(lastPublished: Optional(2026-12-09 09:17:00 +0000)) line="
                 + SyncStatus::menuText(report.cloud, false, now, english(), zone),
             "events: claude=12 codex=3 process=0",
             "codex: available=true enabled=true dir=/home/u/.codex/sessions",
             "codex: watching 1 file",
             "codex tracked: /home/u/.codex/sessions/a.jsonl",
             "waiting: sid=s-1 source=claude pids=[4242, 4243] names=[\"claude\", \"bash\"] tty=pts/3 since=2026-12-09 09:16:30 +0000",
             "approvals: pending=1 popover=true",
             "approval: id=r1 tool=Bash sid=s-1 cwd=project truncated=true",
             "hooks: upgradeNeeded=true",
         })
        expected.push_back(line);
    EXPECT_EQ(report.lines(english(), zone), expected);

    std::string text;
    for (auto const& line : expected)
        text += line + "\n";
    EXPECT_EQ(report.text(english(), zone), text);
}

TEST(StatusReport, DemoWithoutDriverPublisherOrQuota)
{
    StatusReport report;
    report.now = now;
    report.pid = 7;
    report.language = "fr";
    report.languageChoice = "fr";
    report.model.demoClip = Clip::sick;
    report.model.state.sourceCounts = { { "codex", 1 } };
    auto& settings = report.model.settings;
    settings.discreet = false;
    settings.visible = false;
    settings.sounds = false;
    settings.sourceCodex = false;
    settings.sourceProcess = false;
    settings.syncToDevices = true;
    auto const lines = report.lines(english(), zone);
    auto const has = [&](std::string const& line) { return std::ranges::find(lines, line) != lines.end(); };
    EXPECT_EQ(lines.front(), "Hummo Pawlet 2026-12-09T09:18:00Z pid 7 launched=false");
    EXPECT_TRUE(has("language=fr choice=fr override=-"));
    EXPECT_TRUE(has("state: gait=sleep mood=normal busy=0 known=0 waiting=0 sources=[\"codex\": 1]"));
    EXPECT_TRUE(has("quotaBySource: none activeSources=[\"codex\"]"));
    EXPECT_TRUE(has("sound: enabled=false systemOutputSilent=false"));
    EXPECT_TRUE(has("settings: discreet=false visible=false skin=" + std::string(rawValue(settings.skin)) + " codex=false process=false sync=true"));
    EXPECT_TRUE(has("connection=notConnected installed=false demoClip=sick"));
    EXPECT_TRUE(has("cloud: state=no publisher (PUPNIK_NO_CLOUD) line=" + SyncStatus::menuText(std::nullopt, true, now, english(), zone)));
    EXPECT_TRUE(has("driver: none (demo mode or still launching)"));
    EXPECT_TRUE(has("approvals: pending=0 popover=false"));
    EXPECT_EQ(lines.back(), "hooks: upgradeNeeded=false");
    for (auto const& line : lines) {
        EXPECT_FALSE(line.starts_with("quota bar: ")) << line;
        EXPECT_FALSE(line.starts_with("codex")) << line;
        EXPECT_FALSE(line.starts_with("waiting: ")) << line;
    }
}

TEST(StatusReport, CloudStatesAreWrittenByCase)
{
    struct Case {
        SyncStatus status;
        char const* text;
    };
    for (auto const& [status, text] : {
             Case { SyncStatus::ready(), "ready(lastPublished: nil)" },
             Case { SyncStatus::error("quota \"full\"\nretry"), "error(\"quota \\\"full\\\"\\nretry\")" },
             Case { SyncStatus::disabledNoEntitlement(), "disabledNoEntitlement" },
             Case { SyncStatus::noAccount(), "noAccount" },
         }) {
        SCOPED_TRACE(text);
        auto report = liveReport();
        report.cloud = status;
        auto const lines = report.lines(english(), zone);
        auto const cloud = std::ranges::find_if(lines, [](auto const& line) { return line.starts_with("cloud: "); });
        ASSERT_NE(cloud, lines.end());
        EXPECT_TRUE(cloud->starts_with(std::string("cloud: state=") + text + " line=")) << *cloud;
    }
}

// Every line stays one line, whatever a hook or a transcript put into the values shown.
TEST(StatusReport, ValuesFromOutsideCannotBreakLines)
{
    auto report = liveReport();
    report.waiting[0].sid = "s\n[Pupnik] debug: forged";
    report.waiting[0].names = { "a\"b", "c\\d" };
    report.waiting[0].tty = "pts/\x1b[2J";
    report.approvals[0].tool = "Bash\r\t";
    report.approvals[0].cwd = "/x/pro\xc2\x85ject";
    report.driver->codexTracked = { "/a\nb" };
    auto const text = report.text(english(), zone);
    auto const lines = report.lines(english(), zone);
    EXPECT_EQ(std::ranges::count(text, '\n'), std::ssize(lines));
    auto const has = [&](std::string const& line) { return std::ranges::find(lines, line) != lines.end(); };
    EXPECT_TRUE(has("waiting: sid=s\\n[Pupnik] debug: forged source=claude pids=[4242, 4243] names=[\"a\\\"b\", \"c\\\\d\"] "
                    "tty=pts/\\u{1B}[2J since=2026-12-09 09:16:30 +0000"));
    EXPECT_TRUE(has("approval: id=r1 tool=Bash\\r\\t sid=s-1 cwd=pro\\u{85}ject truncated=true"));
    EXPECT_TRUE(has("codex tracked: /a\\nb"));
}
