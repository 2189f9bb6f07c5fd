#include "app-core/StatusText.hpp"
#include "app-core/tests/StatusTextTables.hpp"
#include "shared/TemplateFormatter.hpp"

#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>

#include "PawletKit/tests/TestSupport.hpp"

using namespace PupnikCore;
using PawletKit::Date;
using PawletKit::Gait;
using PawletKit::Mood;
using PawletKit::PawletState;
using PawletKit::QuotaInfo;
using StatusText::QuotaBar;
using StatusTextTables::english;
using StatusTextTables::greek;
using StatusTextTables::zone;

namespace {

// 2026-03-09 10:00 UTC, 15:30 in the test zone.
Date const now = Date::fromSeconds(1'773'050'400);
double const notANumber = std::numeric_limits<double>::quiet_NaN();
double const infinity = std::numeric_limits<double>::infinity();
double const hour = 3600;

QuotaInfo quota(std::optional<double> fiveHourUsed, std::optional<Date> fiveHourReset, std::optional<double> sevenDayUsed, std::optional<Date> sevenDayReset)
{
    QuotaInfo info;
    info.fiveHourUsed = fiveHourUsed;
    info.fiveHourResetsAt = fiveHourReset;
    info.sevenDayUsed = sevenDayUsed;
    info.sevenDayResetsAt = sevenDayReset;
    return info;
}
QuotaInfo fiveHour(double used, std::optional<Date> reset = std::nullopt) { return quota(used, reset, std::nullopt, std::nullopt); }
QuotaInfo sevenDay(double used, std::optional<Date> reset = std::nullopt) { return quota(std::nullopt, std::nullopt, used, reset); }
QuotaInfo both(double fiveHourUsed, double sevenDayUsed) { return quota(fiveHourUsed, std::nullopt, sevenDayUsed, std::nullopt); }

// An engine state, told field by field.
struct Pet {
    PawletState state;
    Pet& gait(Gait value)
    {
        state.gait = value;
        return *this;
    }
    Pet& mood(Mood value)
    {
        state.mood = value;
        return *this;
    }
    Pet& busy(int value)
    {
        state.busySessions = value;
        return *this;
    }
    Pet& known(int value)
    {
        state.knownSessions = value;
        return *this;
    }
    Pet& waiting(int value)
    {
        state.waitingSessions = value;
        return *this;
    }
    Pet& counts(std::map<std::string, int> value)
    {
        state.sourceCounts = std::move(value);
        return *this;
    }
    Pet& usage(QuotaInfo value)
    {
        state.quota = value;
        return *this;
    }
    operator PawletState() const { return state; }
};

}

namespace PupnikCore::StatusText {

void PrintTo(QuotaBar const& bar, std::ostream* out) { *out << bar.source << " " << bar.fraction << " \"" << bar.text << "\""; }

}

TEST(StatusText, StateLineFollowsMoodThenConnectionThenGaitInEnglishAndGreek)
{
    using enum ConnectionState;
    struct Case {
        char const* name;
        PawletState state;
        ConnectionState connection;
        std::optional<std::string_view> application;
        std::string english;
        std::string greek;
    } const cases[] = {
        { "nothing yet, not connected", Pet().gait(Gait::sleep), notConnected, std::nullopt,
            "Not connected yet: choose Agents ▸ Connect Claude Code", "Δεν έχει συνδεθεί ακόμη: επιλέξτε Πράκτορες ▸ Σύνδεση Claude Code" },
        { "nothing yet, connected without events", Pet().gait(Gait::sleep), connectedNoEvents, std::nullopt,
            "Connected: waiting for the first agent event", "Συνδέθηκε: αναμονή για το πρώτο συμβάν πράκτορα" },
        { "asleep and connected", Pet().gait(Gait::sleep), connected, std::nullopt, "Sleeping", "Κοιμάται" },
        { "idle and connected", Pet().gait(Gait::idle), connected, std::nullopt, "Resting", "Ξεκουράζεται" },
        { "a known session beats the hint", Pet().gait(Gait::idle).known(1), notConnected, std::nullopt, "Resting", "Ξεκουράζεται" },
        { "a busy session beats the hint", Pet().gait(Gait::stroll).busy(1), connectedNoEvents, std::nullopt, "Strolling", "Κάνει βόλτα" },
        { "claude alone", Pet().gait(Gait::run).busy(2).counts({ { "claude", 2 } }), connected, std::nullopt,
            "Running · sessions: 2", "Τρέχει · συνεδρίες: 2" },
        { "a zero count is not another source", Pet().gait(Gait::walk).busy(1).counts({ { "claude", 1 }, { "codex", 0 } }),
            connected, std::nullopt, "Walking · sessions: 1", "Περπατά · συνεδρίες: 1" },
        { "several sources in their order, the unknown one by name",
            Pet().gait(Gait::run).busy(4).counts({ { "zed", 1 }, { "codex", 2 }, { "claude", 1 } }), connected, std::nullopt,
            "Running · Claude 1 · Codex 2 · zed 1", "Τρέχει · Claude 1 · Codex 2 · zed 1" },
        { "unknown sources in ascending order after process",
            Pet().gait(Gait::walk).counts({ { "zed", 1 }, { "aider", 3 }, { "process", 2 } }), connected, std::nullopt,
            "Walking · Other 2 · aider 3 · zed 1", "Περπατά · Άλλοι 2 · aider 3 · zed 1" },
        { "claude with none is no session", Pet().gait(Gait::sleep).known(1).counts({ { "claude", 0 } }), notConnected,
            std::nullopt, "Sleeping", "Κοιμάται" },
        { "happy", Pet().gait(Gait::run).mood(Mood::happy).counts({ { "claude", 3 } }), notConnected, std::nullopt, "Happy",
            "Χαρούμενο" },
        { "one waiting, its application trimmed", Pet().mood(Mood::poop).waiting(1), connected, " \tGhostty\n",
            "Waiting for you in Ghostty", "Σας περιμένει στο Ghostty" },
        { "one waiting, application blank", Pet().mood(Mood::poop).waiting(1), connected, " \n\u3000",
            "An agent is waiting for you", "Ένας πράκτορας σας περιμένει" },
        { "one waiting, no application", Pet().mood(Mood::poop).waiting(1), notConnected, std::nullopt,
            "An agent is waiting for you", "Ένας πράκτορας σας περιμένει" },
        { "three waiting, whatever the application", Pet().mood(Mood::poop).waiting(3), connected, "Ghostty",
            "3 agents are waiting for you", "3 πράκτορες σας περιμένουν" },
        { "hungry without a full window", Pet().mood(Mood::hungry).counts({ { "claude", 1 } }), connected, "Ghostty",
            "Hungry: usage limit reached", "Πεινάει: εξαντλήθηκε το όριο χρήσης" },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(StatusText::headline(c.state, c.connection, now, english(), zone, c.application), c.english) << c.name;
        EXPECT_EQ(StatusText::headline(c.state, c.connection, now, greek(), zone, c.application), c.greek) << c.name;
        auto lines = StatusText::tooltipLines(c.state, c.connection, false, false, now, english(), zone, c.application);
        ASSERT_EQ(lines.size(), 1u) << c.name;
        EXPECT_EQ(lines[0], c.english) << c.name;
    }
}

TEST(StatusText, HungryNamesTheFullWindowAndWhenItComesBack)
{
    struct Case {
        char const* name;
        QuotaInfo quota;
        std::string english;
        std::string greek;
    } const cases[] = {
        { "five-hour full, back within the day", fiveHour(100, now + 2 * hour), "Hungry: the 5-hour limit is used up, back at 17:30",
            "Πεινάει: το 5ωρο όριο εξαντλήθηκε, ανανεώνεται στις 17:30" },
        { "five-hour wins over a fuller seven-day",
            quota(100, now + 1 * hour, 120, now + 50 * hour),
            "Hungry: the 5-hour limit is used up, back at 16:30", "Πεινάει: το 5ωρο όριο εξαντλήθηκε, ανανεώνεται στις 16:30" },
        { "seven-day full, back in three days", quota(40, std::nullopt, 100, now + 72 * hour),
            "Hungry: the 7-day limit is used up, back at 3/12 15:30", "Πεινάει: το 7ήμερο όριο εξαντλήθηκε, ανανεώνεται στις 3/12 15:30" },
        { "reset already past", fiveHour(100, now + -60), "Hungry: the 5-hour limit is used up", "Πεινάει: το 5ωρο όριο εξαντλήθηκε" },
        { "reset right now is not ahead", fiveHour(100, now), "Hungry: the 5-hour limit is used up", "Πεινάει: το 5ωρο όριο εξαντλήθηκε" },
        { "no reset known", sevenDay(130), "Hungry: the 7-day limit is used up", "Πεινάει: το 7ήμερο όριο εξαντλήθηκε" },
        { "99.6 shows as 100 but is not full", fiveHour(99.6, now + hour), "Hungry: usage limit reached",
            "Πεινάει: εξαντλήθηκε το όριο χρήσης" },
        { "not a number is not full", both(notANumber, notANumber), "Hungry: usage limit reached",
            "Πεινάει: εξαντλήθηκε το όριο χρήσης" },
        { "no reading", {}, "Hungry: usage limit reached", "Πεινάει: εξαντλήθηκε το όριο χρήσης" },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(StatusText::hungryText(c.quota, now, english(), zone), c.english) << c.name;
        EXPECT_EQ(StatusText::hungryText(c.quota, now, greek(), zone), c.greek) << c.name;
        PawletState state = Pet().mood(Mood::hungry).usage(c.quota);
        EXPECT_EQ(StatusText::headline(state, ConnectionState::connected, now, english(), zone, std::nullopt), c.english) << c.name;
    }
}

TEST(StatusText, ResetTimeShowsTheDateFromOneDayAheadInTheGivenZone)
{
    Platform::FixedOffsetTimeZone const utc;
    struct Case {
        double ahead;
        std::string inZone;
        std::string inUTC;
    } const cases[] = {
        { 23 * hour + 59 * 60, "15:29", "09:59" },
        { 86'399.9, "15:29", "09:59" },
        { 24 * hour, "3/10 15:30", "3/10 10:00" },
        { 14 * hour, "05:30", "00:00" },
        { -2 * hour, "13:30", "08:00" },
        { -30 * 24 * hour, "15:30", "10:00" },
        { 400 * 24 * hour, "4/13 15:30", "4/13 10:00" },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(StatusText::resetTime(now + c.ahead, now, zone), c.inZone) << c.ahead;
        EXPECT_EQ(StatusText::resetTime(now + c.ahead, now, utc), c.inUTC) << c.ahead;
    }
}

TEST(StatusText, QuotaTextsRoundHalvesAwayFromZeroAndHoldToZeroThrough999)
{
    struct Case {
        QuotaInfo quota;
        std::optional<std::string> line;
        std::optional<std::string> barText;
        std::optional<std::string> greekBarText;
    } const cases[] = {
        { fiveHour(62.5), "Usage: 5-hour 63%", "63% 5h", "5ώ 63%" },
        { fiveHour(62.4), "Usage: 5-hour 62%", "62% 5h", "5ώ 62%" },
        { fiveHour(0.5), "Usage: 5-hour 1%", "1% 5h", "5ώ 1%" },
        { fiveHour(-3), "Usage: 5-hour 0%", "0% 5h", "5ώ 0%" },
        { fiveHour(-0.5), "Usage: 5-hour 0%", "0% 5h", "5ώ 0%" },
        { fiveHour(998.5), "Usage: 5-hour 999%", "999% 5h", "5ώ 999%" },
        { fiveHour(1234), "Usage: 5-hour 999%", "999% 5h", "5ώ 999%" },
        { fiveHour(1e300), "Usage: 5-hour 999%", "999% 5h", "5ώ 999%" },
        { fiveHour(infinity), "Usage: 5-hour 999%", "999% 5h", "5ώ 999%" },
        { fiveHour(-infinity), "Usage: 5-hour 0%", "0% 5h", "5ώ 0%" },
        { fiveHour(notANumber), "Usage: 5-hour 0%", "0% 5h", "5ώ 0%" },
        { sevenDay(20), "Usage: 7-day 20%", "20% 7d", "7ημ 20%" },
        { both(99.5, 12.49), "Usage: 5-hour 100% · 7-day 12%", "100% 5h · 12% 7d", "5ώ 100% · 7ημ 12%" },
        { quota(std::nullopt, now, std::nullopt, now), std::nullopt, std::nullopt, std::nullopt },
        { {}, std::nullopt, std::nullopt, std::nullopt },
    };
    for (auto const& c : cases) {
        auto label = nlohmann::json { c.quota.fiveHourUsed.value_or(-1), c.quota.sevenDayUsed.value_or(-1) }.dump();
        EXPECT_EQ(StatusText::quotaLine(c.quota, english()), c.line) << label;
        EXPECT_EQ(StatusText::quotaBarText(c.quota, english()), c.barText) << label;
        EXPECT_EQ(StatusText::quotaBarText(c.quota, greek()), c.greekBarText) << label;
    }
    EXPECT_EQ(StatusText::quotaLine(both(62.5, 3), greek()), "Χρήση: 5ωρο 63% · 7ήμερο 3%");
}

TEST(StatusText, OneBarPerKnownSourceWithAReadingInSourceOrder)
{
    PawletState state;
    state.quotaBySource = {
        { "zed", fiveHour(50) },
        { "process", quota(std::nullopt, now, std::nullopt, std::nullopt) },
        { "codex", sevenDay(40) },
        { "claude", both(62.5, 10) },
    };
    std::vector<QuotaBar> const expected {
        { "claude", 0.625, "63% 5h · 10% 7d" },
        { "codex", 0.4, "40% 7d" },
    };
    EXPECT_EQ(StatusText::quotaBars(state, false, english()), expected);
    EXPECT_TRUE(StatusText::quotaBars(state, true, english()).empty());

    struct Case {
        QuotaInfo quota;
        double fraction;
    } const fractions[] = {
        { fiveHour(150), 1 },
        { fiveHour(-20), 0 },
        { fiveHour(notANumber), 0 },
        { fiveHour(infinity), 1 },
        { both(30, 90), 0.3 },
        { both(notANumber, 90), 0 },
        { sevenDay(100), 1 },
    };
    for (auto const& c : fractions) {
        PawletState single;
        single.quotaBySource = { { "process", c.quota } };
        auto bars = StatusText::quotaBars(single, false, english());
        ASSERT_EQ(bars.size(), 1u);
        EXPECT_EQ(bars[0].source, "process");
        EXPECT_DOUBLE_EQ(bars[0].fraction, c.fraction) << c.quota.fiveHourUsed.value_or(-1);
    }
}

TEST(StatusText, TooltipLinesCarryDemoPrefixAndUsageUnlessDiscreet)
{
    PawletState waiting = Pet().mood(Mood::poop).usage(both(62.5, 3)).waiting(1);
    PawletState hungry = Pet().mood(Mood::hungry).usage(fiveHour(100, now + hour));
    PawletState quiet = Pet().gait(Gait::walk).counts({ { "claude", 1 } });
    using Lines = std::vector<std::string>;
    struct Case {
        char const* name;
        PawletState state;
        bool demo;
        bool discreet;
        Localizer const& localizer;
        Lines expected;
    } const cases[] = {
        { "waiting", waiting, false, false, english(), { "Waiting for you in Ghostty", "Usage: 5-hour 63% · 7-day 3%" } },
        { "waiting in a demo", waiting, true, false, english(), { "Demo: Waiting for you in Ghostty", "Usage: 5-hour 63% · 7-day 3%" } },
        { "waiting in Greek", waiting, true, false, greek(), { "Επίδειξη: Σας περιμένει στο Ghostty", "Χρήση: 5ωρο 63% · 7ήμερο 3%" } },
        { "no usage reading", quiet, false, false, english(), { "Walking · sessions: 1" } },
        { "hungry", hungry, false, false, english(), { "Hungry: the 5-hour limit is used up, back at 16:30", "Usage: 5-hour 100%" } },
        { "discreet hides the waiting application", waiting, false, true, english(), { "Pupnik" } },
        { "discreet hides hunger, demo or not", hungry, true, true, greek(), { "Pupnik" } },
    };
    for (auto const& c : cases)
        EXPECT_EQ(StatusText::tooltipLines(c.state, ConnectionState::connected, c.demo, c.discreet, now, c.localizer, zone, "Ghostty"), c.expected)
            << c.name;
}

TEST(StatusText, BadgeForHungerAndWaitingUnlessDiscreet)
{
    struct Case {
        Mood mood;
        bool badge;
    } const cases[] = { { Mood::normal, false }, { Mood::hungry, true }, { Mood::happy, false }, { Mood::poop, true } };
    ASSERT_EQ(std::size(cases), PawletKit::allMoods.size());
    for (auto const& c : cases) {
        EXPECT_EQ(StatusText::showsBadge(c.mood, false), c.badge) << rawValue(c.mood);
        EXPECT_FALSE(StatusText::showsBadge(c.mood, true)) << rawValue(c.mood);
    }
}

TEST(StatusText, GaitsPlayTheirClipsAndSleepPlaysIdle)
{
    struct Case {
        Gait gait;
        Clip clip;
    } const cases[] = { { Gait::sleep, Clip::idle }, { Gait::idle, Clip::idle }, { Gait::stroll, Clip::stroll }, { Gait::walk, Clip::walk },
        { Gait::run, Clip::run } };
    ASSERT_EQ(std::size(cases), PawletKit::allGaits.size());
    for (auto const& c : cases)
        EXPECT_EQ(StatusText::clip(c.gait), c.clip) << rawValue(c.gait);
}

// The shipped tables must have every key these texts ask for, taking the arguments in the order
// and of the types the code passes; a mismatch would show raw conversions in the menu.
TEST(StatusText, ShippedEnglishTableTakesTheArgumentsTheTextsPass)
{
    using Type = PawletShared::TemplateFormatter::ArgumentType;
    using Conversions = std::vector<PawletShared::TemplateFormatter::Conversion>;
    auto table = nlohmann::json::parse(TestSupport::readFile(std::filesystem::path(PUPNIK_SOURCE_DIR) / "resources" / "i18n" / "en.json"));
    struct Case {
        char const* key;
        Conversions conversions;
    } const cases[] = {
        { "state.happy", {} },
        { "state.poop.one", {} },
        { "hint.notConnected", {} },
        { "hint.waiting", {} },
        { "state.sleep", {} },
        { "state.idle", {} },
        { "state.stroll", {} },
        { "state.walk", {} },
        { "state.run", {} },
        { "source.claude", {} },
        { "source.codex", {} },
        { "source.process", {} },
        { "state.hungry.generic", {} },
        { "quota.fiveHour", {} },
        { "quota.sevenDay", {} },
        { "quota.sep", {} },
        { "quota.bar.fiveHour", {} },
        { "quota.bar.sevenDay", {} },
        { "app.name", {} },
        { "demo.prefix", {} },
        { "sync.status.off", {} },
        { "sync.status.noEntitlement", {} },
        { "sync.status.pending", {} },
        { "sync.status.noAccount", {} },
        { "state.poop.many", { { 0, Type::integer } } },
        { "state.poop.app", { { 0, Type::string } } },
        { "busy.suffix", { { 0, Type::integer } } },
        { "busy.source", { { 0, Type::string }, { 1, Type::integer } } },
        { "state.hungry.window", { { 0, Type::string } } },
        { "state.hungry.resume", { { 0, Type::string } } },
        { "quota.part", { { 0, Type::string }, { 1, Type::integer } } },
        { "quota.line", { { 0, Type::string } } },
        { "quota.bar.part", { { 0, Type::integer }, { 1, Type::string } } },
        { "sync.status.error", { { 0, Type::string } } },
        { "sync.status.synced", { { 0, Type::string } } },
    };
    for (auto const& c : cases) {
        auto found = table.find(c.key);
        ASSERT_NE(found, table.end()) << c.key;
        ASSERT_TRUE(found->is_string()) << c.key;
        EXPECT_EQ(PawletShared::TemplateFormatter::conversions(found->get<std::string>()), c.conversions) << c.key;
    }
}
