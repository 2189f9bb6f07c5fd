#include "PawletKit/Text.hpp"
#include "app-core/SyncStatus.hpp"
#include "app-core/tests/StatusTextTables.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;
using PawletKit::Date;
using StatusTextTables::english;
using StatusTextTables::greek;
using StatusTextTables::zone;

namespace {

// 2026-03-09 10:00 UTC, 15:30 in the test zone.
Date const now = Date::fromSeconds(1'773'050'400);
double const hour = 3600;

std::string repeated(std::string_view piece, size_t times)
{
    std::string text;
    for (size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

}

TEST(SyncStatus, MenuLineInEnglishAndGreek)
{
    struct Case {
        char const* name;
        std::optional<SyncStatus> status;
        bool syncOn;
        std::string english;
        std::string greek;
    } const cases[] = {
        { "no publisher", std::nullopt, true, "Sync is off", "Ο συγχρονισμός είναι ανενεργός" },
        { "no publisher, setting off", std::nullopt, false, "Sync is off", "Ο συγχρονισμός είναι ανενεργός" },
        { "no entitlement", SyncStatus::disabledNoEntitlement(), true, "Sync is not available in this build",
            "Ο συγχρονισμός δεν είναι διαθέσιμος σε αυτή τη δόμηση" },
        { "no entitlement wins over the setting", SyncStatus::disabledNoEntitlement(), false, "Sync is not available in this build",
            "Ο συγχρονισμός δεν είναι διαθέσιμος σε αυτή τη δόμηση" },
        { "no account", SyncStatus::noAccount(), true, "Sync needs a signed-in account", "Ο συγχρονισμός απαιτεί συνδεδεμένο λογαριασμό" },
        { "no account, setting off", SyncStatus::noAccount(), false, "Sync is off", "Ο συγχρονισμός είναι ανενεργός" },
        { "nothing published yet", SyncStatus::ready(), true, "Waiting to sync…", "Αναμονή για συγχρονισμό…" },
        { "published ten minutes ago", SyncStatus::ready(now + -600), true, "Synced at 15:20", "Συγχρονίστηκε: 15:20" },
        { "published yesterday", SyncStatus::ready(now + -25 * hour), true, "Synced at 3/8 14:30", "Συγχρονίστηκε: 3/8 14:30" },
        { "published, setting off", SyncStatus::ready(now), false, "Sync is off", "Ο συγχρονισμός είναι ανενεργός" },
        { "error, cleaned", SyncStatus::error("Claude Code\nquota   exceeded"), true, "Sync error: agent quota exceeded",
            "Σφάλμα συγχρονισμού: agent quota exceeded" },
        { "error, setting off", SyncStatus::error("boom"), false, "Sync is off", "Ο συγχρονισμός είναι ανενεργός" },
        { "error of blanks", SyncStatus::error(" \n "), true, "Sync error: ?", "Σφάλμα συγχρονισμού: ?" },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(SyncStatus::menuText(c.status, c.syncOn, now, english(), zone), c.english) << c.name;
        EXPECT_EQ(SyncStatus::menuText(c.status, c.syncOn, now, greek(), zone), c.greek) << c.name;
    }
}

TEST(SyncStatus, ErrorMessagesBecomeOneCleanLine)
{
    struct Case {
        char const* name;
        std::string message;
        std::int64_t limit;
        std::string expected;
    } const cases[] = {
        { "product on its own line, runs of blanks", "Claude Code\nwords   with\t\tgaps", 80, "agent words with gaps" },
        { "every kind of line break", "a\r\nb\u2028c\u0085d\re\u000Bf", 80, "a b c d e f" },
        { "blanks of other scripts", "a\u00A0\u3000b", 80, "a b" },
        { "trimmed at both ends", "\n\t  failed  \t\n", 80, "failed" },
        { "capitals and names inside words", "CLAUDE CODE and MyCodexApp via gemini-cli", 80, "agent and MyagentApp via agent-cli" },
        { "every product name", "Claude Code, Claude, Codex, Cursor, Copilot, Gemini, Aider", 80, "agent, agent, agent, agent, agent, agent, agent" },
        { "nothing but blanks", " \t\n\u2029 ", 80, "?" },
        { "empty", "", 80, "?" },
        { "bytes that are not text", "bad \xFF\xFE byte", 80, "bad \uFFFD\uFFFD byte" },
        { "exactly the limit stays whole", repeated("x", 80), 80, repeated("x", 80) },
        { "one over the limit", repeated("x", 81), 80, repeated("x", 79) + "…" },
        { "120 characters cut to 80", repeated("y", 120), 80, repeated("y", 79) + "…" },
        { "Greek counted by characters, not bytes", repeated("λ", 100), 80, repeated("λ", 79) + "…" },
        { "combined characters are never split", repeated("e\u0301", 12), 10, repeated("e\u0301", 9) + "…" },
        { "flags are never split", repeated("\U0001F1EF\U0001F1F5", 5), 3, repeated("\U0001F1EF\U0001F1F5", 2) + "…" },
        { "names replaced before counting", "Claude Code " + repeated("z", 74), 80, "agent " + repeated("z", 74) },
        { "limit of one", "abc", 1, "…" },
        { "a limit below one counts as one", "abc", 0, "…" },
    };
    for (auto const& c : cases) {
        auto cleaned = SyncStatus::cleanMessage(c.message, c.limit);
        EXPECT_EQ(cleaned, c.expected) << c.name;
        EXPECT_LE(PawletKit::Text::characterCount(cleaned), size_t(std::max<std::int64_t>(c.limit, 1))) << c.name;
    }
}

TEST(SyncStatus, TimeShowsTheDateOnlyADayOrMoreAwayEitherWay)
{
    Platform::FixedOffsetTimeZone const utc;
    struct Case {
        double offset;
        std::string inZone;
        std::string inUTC;
    } const cases[] = {
        { -600, "15:20", "09:50" },
        { -(24 * hour - 60), "15:31", "10:01" },
        { -24 * hour, "3/8 15:30", "3/8 10:00" },
        { -25 * hour, "3/8 14:30", "3/8 09:00" },
        { 2 * hour, "17:30", "12:00" },
        { 24 * hour, "3/10 15:30", "3/10 10:00" },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(SyncStatus::timeText(now + c.offset, now, zone), c.inZone) << c.offset;
        EXPECT_EQ(SyncStatus::timeText(now + c.offset, now, utc), c.inUTC) << c.offset;
    }
}

TEST(SyncStatus, EqualOnlyWithTheSameCaseAndPayload)
{
    std::vector<SyncStatus> const distinct {
        SyncStatus::ready(),
        SyncStatus::ready(now),
        SyncStatus::ready(now + 1),
        SyncStatus::error("a"),
        SyncStatus::error("b"),
        SyncStatus::error(""),
        SyncStatus::disabledNoEntitlement(),
        SyncStatus::noAccount(),
    };
    for (size_t i = 0; i < distinct.size(); ++i)
        for (size_t j = 0; j < distinct.size(); ++j)
            EXPECT_EQ(distinct[i] == distinct[j], i == j) << i << " " << j;
    EXPECT_EQ(SyncStatus::ready(now), SyncStatus::ready(Date::fromSeconds(now.secondsSince1970)));
}
