#include "shared/PetSnapshot.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <unordered_set>

using namespace PawletShared;
using PawletKit::Date;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinite = std::numeric_limits<double>::infinity();
// 2023-11-14T22:13:20Z
const Date stamp = Date::fromSeconds(1'700'000'000);

PetSnapshot basic()
{
    PetSnapshot snapshot;
    snapshot.updatedAt = stamp;
    return snapshot;
}

}

TEST(PetSnapshot, EncodesCompactSortedWithWholeSecondTimesAndEscapedSlashes)
{
    struct Case {
        char const* name;
        PetSnapshot snapshot;
        std::string expected;
    };
    PetSnapshot full = basic();
    full.gait = Gait::run;
    full.mood = Mood::hungry;
    full.intensity = 0.75;
    full.quota.fiveHour = 61.5;
    full.quota.sevenDay = 20;
    full.quota.resets.sevenDay = Date::fromSeconds(1'700'000'060.9);
    full.sourceCounts = { { "codex", 2 }, { "claude", 1 }, { "ide/x", 0 } };
    full.activeSources = std::vector<std::string> { "codex", "claude" };
    full.quotaBySource = std::map<std::string, QuotaWindow> {
        { "codex", { 50, std::nullopt, Date::fromSeconds(1'700'000'000.9) } },
        { "a/b", { std::nullopt, 7, std::nullopt } },
    };
    PetSnapshot emptyLists = basic();
    emptyLists.activeSources = std::vector<std::string> {};
    emptyLists.quotaBySource = std::map<std::string, QuotaWindow> {};
    PetSnapshot beforeEpoch = basic();
    beforeEpoch.updatedAt = Date::fromSeconds(-0.5);
    Case const cases[] = {
        { "nothing known", basic(),
            R"({"gait":"idle","intensity":0.0,"mood":"normal","quota":{"resets":{}},"sourceCounts":{},"updatedAt":"2023-11-14T22:13:20Z"})" },
        { "every field", full,
            R"({"activeSources":["codex","claude"],"gait":"run","intensity":0.75,"mood":"hungry",)"
            R"("quota":{"fiveHour":61.5,"resets":{"sevenDay":"2023-11-14T22:14:20Z"},"sevenDay":20.0},)"
            R"("quotaBySource":{"a\/b":{"sevenDay":7.0},"codex":{"fiveHour":50.0,"resetsAt":"2023-11-14T22:13:20Z"}},)"
            R"("sourceCounts":{"claude":1,"codex":2,"ide\/x":0},"updatedAt":"2023-11-14T22:13:20Z"})" },
        { "empty lists are written", emptyLists,
            R"({"activeSources":[],"gait":"idle","intensity":0.0,"mood":"normal","quota":{"resets":{}},"quotaBySource":{},"sourceCounts":{},"updatedAt":"2023-11-14T22:13:20Z"})" },
        { "fractions of a second before 1970 go to the earlier second", beforeEpoch,
            R"({"gait":"idle","intensity":0.0,"mood":"normal","quota":{"resets":{}},"sourceCounts":{},"updatedAt":"1969-12-31T23:59:59Z"})" },
        { "placeholder", PetSnapshot::placeholder(),
            R"({"gait":"idle","intensity":0.0,"mood":"normal","quota":{"resets":{}},"sourceCounts":{},"updatedAt":"0001-01-01T00:00:00Z"})" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(c.snapshot.encoded(), c.expected) << c.name;
}

TEST(PetSnapshot, ANumberOrTimeThatCannotBeWrittenFailsTheEncodingInsteadOfWritingBadJSON)
{
    struct Case {
        char const* name;
        void (*spoil)(PetSnapshot&);
    } const cases[] = {
        { "intensity NaN", [](PetSnapshot& s) { s.intensity = notANumber; } },
        { "intensity infinite", [](PetSnapshot& s) { s.intensity = -infinite; } },
        { "quota percentage", [](PetSnapshot& s) { s.quota.sevenDay = infinite; } },
        { "per-source percentage", [](PetSnapshot& s) { s.quotaBySource = std::map<std::string, QuotaWindow> { { "codex", QuotaWindow { notANumber, std::nullopt, std::nullopt } } }; } },
        { "updatedAt NaN", [](PetSnapshot& s) { s.updatedAt = Date::fromSeconds(notANumber); } },
        { "reset instant past the year 9999", [](PetSnapshot& s) { s.quota.resets.fiveHour = Date::fromSeconds(1e15); } },
        { "source name not UTF-8", [](PetSnapshot& s) { s.sourceCounts = { { "\xff", 1 } }; } },
    };
    for (auto const& c : cases) {
        auto snapshot = basic();
        c.spoil(snapshot);
        EXPECT_THROW((void)snapshot.encoded(), PetSnapshot::EncodingError) << c.name;
    }
}

TEST(PetSnapshot, DecodingDefaultsMissingAndNullKeysAndToleratesUnknownNames)
{
    struct Case {
        char const* json;
        PetSnapshot expected;
        bool timeFromReading;
    };
    auto with = [](auto change) {
        PetSnapshot snapshot = basic();
        change(snapshot);
        return snapshot;
    };
    const Date readTime = Date::fromSeconds(1'800'000'000);
    auto atReadTime = [&](PetSnapshot snapshot) {
        snapshot.updatedAt = readTime;
        return snapshot;
    };
    Case const cases[] = {
        { "{}", atReadTime(basic()), true },
        { R"({"gait":null,"mood":null,"intensity":null,"quota":null,"sourceCounts":null,"updatedAt":null,"activeSources":null,"quotaBySource":null})",
            atReadTime(basic()), true },
        { R"({"gait":"gallop","updatedAt":"2023-11-14T22:13:20Z"})", basic(), false },
        { R"({"gait":"Walk","mood":"Happy","updatedAt":"2023-11-14T22:13:20Z"})", basic(), false },
        { R"({"gait":"walk","mood":"poop","intensity":1,"updatedAt":"2023-11-14T22:13:20Z","extra":[1,{"x":2}]})",
            with([](PetSnapshot& s) { s.gait = Gait::walk; s.mood = Mood::poop; s.intensity = 1; }), false },
        { R"({"quota":{},"updatedAt":"2023-11-14T22:13:20Z"})", basic(), false },
        { R"({"quota":{"resets":null,"fiveHour":null},"updatedAt":"2023-11-14T22:13:20Z"})", basic(), false },
        { R"({"quota":{"fiveHour":12,"resets":{"fiveHour":"2023-11-14T22:13:20Z"}},"updatedAt":"2023-11-14T22:13:20Z"})",
            with([](PetSnapshot& s) { s.quota.fiveHour = 12; s.quota.resets.fiveHour = stamp; }), false },
        { R"({"sourceCounts":{"claude":2,"codex":2.0,"x":-1},"updatedAt":"2023-11-14T22:13:20Z"})",
            with([](PetSnapshot& s) { s.sourceCounts = { { "claude", 2 }, { "codex", 2 }, { "x", -1 } }; }), false },
        { R"({"activeSources":[],"quotaBySource":{"claude":{}},"updatedAt":"2023-11-14T22:13:20Z"})",
            with([](PetSnapshot& s) {
                s.activeSources = std::vector<std::string> {};
                s.quotaBySource = std::map<std::string, QuotaWindow> { { "claude", {} } };
            }),
            false },
        { R"({"quotaBySource":{"a\/b":{"sevenDay":7,"resetsAt":"2023-11-14T23:13:20+01:00"}},"updatedAt":"2023-11-14T22:13:20Z"})",
            with([](PetSnapshot& s) { s.quotaBySource = std::map<std::string, QuotaWindow> { { "a/b", { {}, 7, stamp } } }; }), false },
    };
    for (auto const& c : cases) {
        auto reading = PetSnapshot::read(c.json, readTime);
        EXPECT_EQ(reading.snapshot, c.expected) << c.json;
        EXPECT_EQ(reading.timeFromReading, c.timeFromReading) << c.json;
    }
}

TEST(PetSnapshot, AValueOfTheWrongTypeAnywhereFailsTheWholeReading)
{
    for (char const* json : {
             R"({"gait":3})",
             R"({"mood":true})",
             R"({"intensity":"0.5"})",
             R"({"intensity":1e999})",
             R"({"quota":[]})",
             R"({"quota":{"fiveHour":"12"}})",
             R"({"quota":{"sevenDay":true}})",
             R"({"quota":{"resets":{"fiveHour":"tomorrow"}}})",
             R"({"quota":{"resets":5}})",
             R"({"sourceCounts":{"claude":1.5}})",
             R"({"sourceCounts":{"claude":"2"}})",
             R"({"sourceCounts":{"claude":null}})",
             R"({"sourceCounts":{"claude":18446744073709551615}})",
             R"({"sourceCounts":[]})",
             R"({"updatedAt":1700000000})",
             R"({"updatedAt":"2023-11-14 22:13:20"})",
             R"({"activeSources":"claude"})",
             R"({"activeSources":["claude",null]})",
             R"({"quotaBySource":{"claude":5}})",
             R"({"quotaBySource":{"claude":{"resetsAt":7}}})",
             R"("a string")",
             R"([])",
             R"({"gait":)",
             "",
         })
        EXPECT_THROW((void)PetSnapshot::decode(json), PetSnapshot::DecodingError) << json;
}

TEST(PetSnapshot, WhatIsWrittenReadsBackEqual)
{
    PetSnapshot snapshot = basic();
    snapshot.gait = Gait::stroll;
    snapshot.mood = Mood::happy;
    snapshot.intensity = 0.1 + 0.2;
    snapshot.quota = { 33.333333333333336, 0, { stamp, std::nullopt } };
    snapshot.sourceCounts = { { "claude", std::numeric_limits<int64_t>::max() }, { "Ünïcode/\"quoted\"\n", -3 } };
    snapshot.activeSources = std::vector<std::string> { "b", "a", "b" };
    snapshot.quotaBySource = std::map<std::string, QuotaWindow> { { "codex", { 1e-9, 99.5, stamp } } };
    EXPECT_EQ(PetSnapshot::decode(snapshot.encoded()), snapshot);
    EXPECT_EQ(PetSnapshot::decode(PetSnapshot::placeholder().encoded()), PetSnapshot::placeholder());
}

TEST(PetSnapshot, EqualityIsFieldByFieldWithFloatingPointNumbers)
{
    auto a = basic();
    auto b = basic();
    b.updatedAt = stamp + 1;
    EXPECT_NE(a, b);
    b = a;
    a.intensity = 0.0;
    b.intensity = -0.0;
    EXPECT_EQ(a, b);
    a.intensity = b.intensity = notANumber;
    EXPECT_NE(a, b);
    b = a = basic();
    b.activeSources = std::vector<std::string> {};
    EXPECT_NE(a, b);
}

TEST(PetSnapshot, OrderedSourcesPutKnownAgentsFirstThenTheRestByName)
{
    struct Case {
        std::optional<std::vector<std::string>> active;
        std::map<std::string, int64_t> counts;
        std::vector<std::string> expected;
    };
    Case const cases[] = {
        { std::vector<std::string> { " Codex", "claude", "CODEX", "", "zeta", "alpha" }, {}, { "claude", "codex", "alpha", "zeta" } },
        { std::vector<std::string> {}, { { "claude", 3 } }, {} },
        { std::nullopt, { { "claude", 0 }, { "codex", 2 } }, { "codex" } },
        { std::nullopt, { { "zed", 1 }, { "process", 1 }, { "claude", 1 }, { "Beta", 4 } }, { "claude", "process", "beta", "zed" } },
        { std::vector<std::string> { "codex\n", "\tprocess\t", "  " }, {}, { "process", "codex\n" } },
        { std::vector<std::string> { "\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9" }, {}, { "\xC3\xA9t\xC3\xA9" } },
        // Every space separator is a blank (no-break space, ideographic space); a line break is not.
        { std::vector<std::string> { "\xC2\xA0"
                                     "claude",
              "codex\xE3\x80\x80", "\xE3\x80\x80\r" },
            {}, { "claude", "codex", "\r" } },
    };
    for (auto const& c : cases) {
        auto snapshot = basic();
        snapshot.activeSources = c.active;
        snapshot.sourceCounts = c.counts;
        EXPECT_EQ(snapshot.orderedSources(), c.expected);
    }
}

TEST(PetSnapshot, TotalCountAddsEveryCountWithoutOverflowing)
{
    auto snapshot = basic();
    snapshot.sourceCounts = { { "claude", 2 }, { "codex", 0 }, { "process", 1 } };
    EXPECT_EQ(snapshot.totalCount(), 3);
    snapshot.sourceCounts = { { "a", std::numeric_limits<int64_t>::max() }, { "b", 5 } };
    EXPECT_EQ(snapshot.totalCount(), std::numeric_limits<int64_t>::max());
    snapshot.sourceCounts = { { "a", std::numeric_limits<int64_t>::min() }, { "b", -5 } };
    EXPECT_EQ(snapshot.totalCount(), std::numeric_limits<int64_t>::min());
}

TEST(PetSnapshot, QuotaWindowNeedsAnExactNameAndAPercentage)
{
    auto snapshot = basic();
    EXPECT_FALSE(snapshot.quotaWindow("claude"));
    snapshot.quotaBySource = std::map<std::string, QuotaWindow> {
        { "claude", { 40, std::nullopt, std::nullopt } },
        { "codex", { std::nullopt, std::nullopt, stamp } },
    };
    EXPECT_EQ(snapshot.quotaWindow("claude"), (QuotaWindow { 40, std::nullopt, std::nullopt }));
    EXPECT_FALSE(snapshot.quotaWindow("Claude"));
    EXPECT_FALSE(snapshot.quotaWindow("codex"));
    EXPECT_FALSE(snapshot.quotaWindow("process"));
}

TEST(QuotaRecords, FractionsAreClampedAndNaNIsZero)
{
    struct Case {
        std::optional<double> percentage;
        std::optional<double> fraction;
    } const cases[] = {
        { 150, 1 },
        { -5, 0 },
        { 62, 0.62 },
        { 0, 0 },
        { 100, 1 },
        { notANumber, 0 },
        { infinite, 1 },
        { std::nullopt, std::nullopt },
    };
    for (auto const& c : cases) {
        QuotaInfo quota { c.percentage, c.percentage, {} };
        QuotaWindow window { c.percentage, c.percentage, std::nullopt };
        EXPECT_EQ(quota.fiveHourFraction(), c.fraction);
        EXPECT_EQ(quota.sevenDayFraction(), c.fraction);
        EXPECT_EQ(window.fiveHourFraction(), c.fraction);
        EXPECT_EQ(window.sevenDayFraction(), c.fraction);
    }
    EXPECT_TRUE((QuotaWindow { std::nullopt, std::nullopt, stamp }).isEmpty());
    EXPECT_FALSE((QuotaWindow { std::nullopt, 0, std::nullopt }).isEmpty());
}

TEST(QuotaRecords, EqualWindowsHashAlikeAndPresenceCounts)
{
    std::hash<QuotaWindow> hash;
    EXPECT_EQ(hash(QuotaWindow { 0.0, std::nullopt, std::nullopt }), hash(QuotaWindow { -0.0, std::nullopt, std::nullopt }));
    std::unordered_set<QuotaWindow> windows {
        QuotaWindow { 0.0, std::nullopt, std::nullopt },
        QuotaWindow { -0.0, std::nullopt, std::nullopt },
        QuotaWindow { std::nullopt, 0.0, std::nullopt },
        QuotaWindow { std::nullopt, std::nullopt, Date::fromSeconds(0) },
        QuotaWindow {},
    };
    EXPECT_EQ(windows.size(), 4u);
}
