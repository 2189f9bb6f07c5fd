#include "shared/ActivityContentFields.hpp"
#include "shared/CollarPalette.hpp"
#include "shared/DecodingError.hpp"
#include "shared/DiscreetText.hpp"

#include <gtest/gtest.h>

using namespace PawletShared;

namespace {

// The library's own English and German tables, as installed.
Localizer const& english()
{
    static Localizer const localizer(Language::en, std::nullopt, {}, resourceBundle(), false);
    return localizer;
}

Localizer const& german()
{
    static Localizer const localizer(Language::de, std::nullopt, {}, resourceBundle(), false);
    return localizer;
}

std::string const bullet(DiscreetText::bullet);

PetSnapshot snapshot(Gait gait, Mood mood, std::map<std::string, int64_t> counts = {})
{
    PetSnapshot made;
    made.gait = gait;
    made.mood = mood;
    made.sourceCounts = std::move(counts);
    return made;
}

}

TEST(DiscreetText, StatusWordAndLineInTwoLanguages)
{
    struct Case {
        PetSnapshot snapshot;
        std::string english;
        std::string german;
    } const cases[] = {
        { snapshot(Gait::walk, Mood::normal, { { "claude", 2 }, { "codex", 1 } }), "Walking · " + bullet + "2 " + bullet + "1", "Trabt · " + bullet + "2 " + bullet + "1" },
        { snapshot(Gait::sleep, Mood::normal), "Sleeping", "Schläft" },
        { snapshot(Gait::run, Mood::hungry, { { "claude", 0 } }), "Hungry", "Hungrig" },
        { snapshot(Gait::run, Mood::happy), "Happy", "Fröhlich" },
        { snapshot(Gait::idle, Mood::poop, { { "cursor", 4 } }), "Waiting for you · " + bullet + "4", "Wartet auf dich · " + bullet + "4" },
        { snapshot(Gait::stroll, Mood::normal), "Strolling", "Schlendert" },
        { snapshot(Gait::idle, Mood::normal), "Resting", "Ruht" },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(DiscreetText::statusLine(c.snapshot, false, english()), c.english);
        EXPECT_EQ(DiscreetText::statusLine(c.snapshot, false, german()), c.german);
        EXPECT_EQ(DiscreetText::statusWord(c.snapshot, true, english()), std::nullopt);
        EXPECT_EQ(DiscreetText::statusLine(c.snapshot, true, german()), std::nullopt);
    }
    EXPECT_EQ(DiscreetText::statusWord(snapshot(Gait::run, Mood::normal), english()), "Running");
}

TEST(DiscreetText, DotsPutKnownSourcesFirstAndDropIdleOnes)
{
    auto dots = DiscreetText::dots(snapshot(Gait::walk, Mood::normal, { { "codex", 2 }, { "claude", 0 }, { "zeta", 1 }, { "alpha", 3 }, { "process", -1 } }), false);
    EXPECT_EQ(dots, (std::vector<StatusDot> { { "codex", 2 }, { "alpha", 3 }, { "zeta", 1 } }));
    EXPECT_TRUE(DiscreetText::dots(snapshot(Gait::walk, Mood::normal, { { "codex", 2 } }), true).empty());

    struct Colour {
        std::string source;
        CollarColor expected;
    } const colours[] = {
        { "claude", CollarPalette::claude },
        { "codex", CollarPalette::codex },
        { "process", CollarPalette::process },
        { "cursor", CollarPalette::process },
        { "Claude", CollarPalette::process },
    };
    for (auto const& c : colours) {
        EXPECT_EQ((StatusDot { c.source, 1 }).color(), c.expected) << c.source;
        EXPECT_EQ((QuotaBarSpec { c.source, 0.5, std::nullopt }).color(), c.expected) << c.source;
    }
}

TEST(DiscreetText, QuotaTextAndFraction)
{
    struct Case {
        std::optional<double> fiveHour;
        std::optional<double> sevenDay;
        std::optional<std::string> english;
        std::optional<std::string> german;
        std::optional<double> fraction;
    } const cases[] = {
        { 62.5, 18, "5-hour 63% · 7-day 18%", "5-Stunden-Limit 63\u00a0% · 7-Tage-Limit 18\u00a0%", 0.625 },
        { 150, std::nullopt, "5-hour 150%", "5-Stunden-Limit 150\u00a0%", 1.0 },
        { std::nullopt, 7.49, "7-day 7%", "7-Tage-Limit 7\u00a0%", std::nullopt },
        { -3, 1234, "5-hour 0% · 7-day 999%", "5-Stunden-Limit 0\u00a0% · 7-Tage-Limit 999\u00a0%", 0.0 },
        { std::numeric_limits<double>::quiet_NaN(), -0.5, "5-hour 0% · 7-day 0%", "5-Stunden-Limit 0\u00a0% · 7-Tage-Limit 0\u00a0%", 0.0 },
        { std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt },
    };
    for (auto const& c : cases) {
        PetSnapshot made = snapshot(Gait::idle, Mood::normal);
        made.quota.fiveHour = c.fiveHour;
        made.quota.sevenDay = c.sevenDay;
        EXPECT_EQ(DiscreetText::quotaText(made, false, english()), c.english);
        EXPECT_EQ(DiscreetText::quotaText(made, false, german()), c.german);
        EXPECT_EQ(DiscreetText::quotaFraction(made, false), c.fraction);
        EXPECT_EQ(DiscreetText::quotaText(made, true, english()), std::nullopt);
        EXPECT_EQ(DiscreetText::quotaFraction(made, true), std::nullopt);
    }
    EXPECT_EQ(DiscreetText::percentage(2.5), 3);
    EXPECT_EQ(DiscreetText::percentage(-2.5), 0);
    EXPECT_EQ(DiscreetText::percentage(std::numeric_limits<double>::infinity()), 999);
}

TEST(DiscreetText, BarsPerAgentOrOneOverallAndHiddenKeepsOnlyFractions)
{
    using Windows = std::map<std::string, QuotaWindow>;
    struct Case {
        char const* name;
        std::optional<Windows> windows;
        std::optional<double> overall;
        std::vector<QuotaBarSpec> expected;
    } const cases[] = {
        { "codex only has a five-hour value", Windows { { "codex", { 40, std::nullopt, std::nullopt } }, { "claude", { std::nullopt, 30, std::nullopt } } }, 10,
            { { "codex", 0.4, "5-hour 40%" } } },
        { "empty map falls back", Windows {}, 62.5, { { "claude", 0.625, "5-hour 63%" } } },
        { "no map falls back", std::nullopt, 150, { { "claude", 1.0, "5-hour 150%" } } },
        { "no five-hour anywhere", Windows { { "claude", { std::nullopt, 30, std::nullopt } } }, std::nullopt, {} },
        { "others follow the known ones by name", Windows { { "zeta", { 5, {}, {} } }, { "alpha", { 120, {}, {} } }, { "process", { -4, {}, {} } }, { "claude", { 50, {}, {} } } },
            std::nullopt,
            { { "claude", 0.5, "5-hour 50%" }, { "process", 0.0, "5-hour 0%" }, { "alpha", 1.0, "5-hour 120%" }, { "zeta", 0.05, "5-hour 5%" } } },
    };
    for (auto const& c : cases) {
        PetSnapshot made = snapshot(Gait::walk, Mood::normal);
        made.quotaBySource = c.windows;
        made.quota.fiveHour = c.overall;
        EXPECT_EQ(DiscreetText::bars(made, false, english()), c.expected) << c.name;
        std::vector<QuotaBarSpec> hidden = c.expected;
        for (auto& bar : hidden)
            bar.label.reset();
        EXPECT_EQ(DiscreetText::bars(made, true, english()), hidden) << c.name;
    }
    EXPECT_EQ(DiscreetText::fiveHourLabel(62.5, false, german()), "5-Stunden-Limit 63\u00a0%");
    EXPECT_EQ(DiscreetText::fiveHourLabel(62.5, true, german()), std::nullopt);
}

TEST(DiscreetText, NeedsYouRules)
{
    EXPECT_TRUE(DiscreetText::needsYou(snapshot(Gait::run, Mood::poop), false));
    EXPECT_FALSE(DiscreetText::needsYou(snapshot(Gait::run, Mood::poop), true));
    EXPECT_FALSE(DiscreetText::needsYou(snapshot(Gait::run, Mood::hungry), false));
    EXPECT_TRUE(DiscreetText::showsDetails(false));
    EXPECT_FALSE(DiscreetText::showsDetails(true));

    struct Case {
        Mood mood, previous;
        bool enabled, expected;
    } const cases[] = {
        { Mood::normal, Mood::poop, true, true },
        { Mood::happy, Mood::poop, true, true },
        { Mood::normal, Mood::poop, false, false },
        { Mood::poop, Mood::poop, true, false },
        { Mood::normal, Mood::hungry, true, false },
    };
    for (auto const& c : cases)
        EXPECT_EQ(DiscreetText::needsYouEnded(c.mood, c.previous, c.enabled), c.expected) << rawValue(c.mood) << " after " << rawValue(c.previous);
}

TEST(ActivityContentFields, GatheredFromASnapshotShownAndHidden)
{
    PetSnapshot made = snapshot(Gait::run, Mood::poop, { { "claude", 1 }, { "codex", 2 } });
    made.quota.fiveHour = 62;
    made.activeSources = std::vector<std::string> { "codex", "claude" };

    auto shown = ActivityContentFields::make(made, Skin::ink, false, german());
    ActivityContentFields expected { "poop", "ink", "Wartet auf dich · " + bullet + "1 " + bullet + "2", "Wartet auf dich",
        { { "claude", 1 }, { "codex", 2 } }, true, "Braucht dich", 0.62, { { "claude", 0.62, "5-Stunden-Limit 62\u00a0%" } }, { "claude", "codex" } };
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(shown.allTexts(), (std::vector<std::string> { *expected.statusLine, "Wartet auf dich", "Braucht dich", "5-Stunden-Limit 62\u00a0%" }));
    EXPECT_EQ(shown.collarStyle(), (CollarStyle { AgentSource::claude, AgentSource::codex }));

    auto hidden = ActivityContentFields::make(made, Skin::ink, true, german());
    EXPECT_EQ(hidden, (ActivityContentFields { "poop", "ink", std::nullopt, std::nullopt, {}, false, std::nullopt, std::nullopt, { { "claude", 0.62, std::nullopt } }, { "claude", "codex" } }));
    EXPECT_TRUE(hidden.allTexts().empty());
    EXPECT_EQ(hidden.collarStyle(), shown.collarStyle());

    struct Clip {
        Gait gait;
        Mood mood;
        char const* expected;
    } const clips[] = {
        { Gait::sleep, Mood::normal, "idle" },
        { Gait::idle, Mood::normal, "idle" },
        { Gait::stroll, Mood::normal, "stroll" },
        { Gait::walk, Mood::normal, "walk" },
        { Gait::run, Mood::normal, "run" },
        { Gait::run, Mood::hungry, "hungry" },
        { Gait::sleep, Mood::happy, "happy" },
        { Gait::walk, Mood::poop, "poop" },
    };
    for (auto const& c : clips)
        EXPECT_EQ(ActivityContentFields::make(snapshot(c.gait, c.mood), Skin::soft, false, english()).clip, c.expected) << c.expected;
}

TEST(DisplayFieldCoding, DotsAndBarsRoundTripAndRequireTheirKeys)
{
    StatusDot dot { "codex", 3 };
    EXPECT_EQ(StatusDot::decode(dot.jsonObject()), dot);
    EXPECT_EQ(dot.jsonObject(), (nlohmann::json { { "source", "codex" }, { "count", 3 } }));
    for (nlohmann::json bad : { nlohmann::json { { "source", "codex" } }, nlohmann::json { { "count", 3 } }, nlohmann::json { { "source", 1 }, { "count", 3 } },
             nlohmann::json { { "source", "x" }, { "count", 1.5 } }, nlohmann::json { { "source", "x" }, { "count", 18446744073709551615ull } }, nlohmann::json::array() })
        EXPECT_THROW(StatusDot::decode(bad), DecodingError) << bad.dump();

    for (QuotaBarSpec bar : { QuotaBarSpec { "claude", 0.25, "5-hour 25%" }, QuotaBarSpec { "zeta", 1, std::nullopt } })
        EXPECT_EQ(QuotaBarSpec::decode(bar.jsonObject()), bar);
    EXPECT_FALSE((QuotaBarSpec { "zeta", 1, std::nullopt }).jsonObject().contains("label"));
    for (nlohmann::json bad : { nlohmann::json { { "source", "codex" } }, nlohmann::json { { "fraction", 0.5 } }, nlohmann::json { { "source", "c" }, { "fraction", 0.5 }, { "label", 3 } } })
        EXPECT_THROW(QuotaBarSpec::decode(bad), DecodingError) << bad.dump();

    // Equal values hash alike, -0 and 0 included.
    EXPECT_EQ(std::hash<QuotaBarSpec> {}(QuotaBarSpec { "c", -0.0, std::nullopt }), std::hash<QuotaBarSpec> {}(QuotaBarSpec { "c", 0.0, std::nullopt }));
    EXPECT_NE(std::hash<QuotaBarSpec> {}(QuotaBarSpec { "c", 0.5, std::nullopt }), std::hash<QuotaBarSpec> {}(QuotaBarSpec { "c", 0.5, "" }));
    EXPECT_NE(std::hash<StatusDot> {}(StatusDot { "c", 1 }), std::hash<StatusDot> {}(StatusDot { "c", 2 }));
}
