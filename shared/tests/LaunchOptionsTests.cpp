#include "shared/LaunchOptions.hpp"

#include <gtest/gtest.h>

using namespace PawletShared;
using PawletKit::Environment;

TEST(LaunchOptions, ValueTrimsBlanksButNotLineBreaks)
{
    struct Case {
        std::optional<std::string> set;
        std::optional<std::string> expected;
    } const cases[] = {
        { std::nullopt, std::nullopt },
        { "", std::nullopt },
        { " \t\u00A0 ", std::nullopt },
        { "  walk\t", "walk" },
        { "walk\n", "walk\n" },
        { "a b", "a b" },
    };
    for (auto const& c : cases) {
        Environment environment;
        if (c.set)
            environment["PUPNIK_DEMO_CLIP"] = *c.set;
        EXPECT_EQ(LaunchOptions::value("PUPNIK_DEMO_CLIP", environment), c.expected) << c.set.value_or("(unset)");
    }
}

TEST(LaunchOptions, FlagsAcceptOnlyOneTrueAndYes)
{
    struct Case {
        std::optional<std::string> set;
        bool expected;
    } const cases[] = {
        { std::nullopt, false },
        { "", false },
        { " YES ", true },
        { "True", true },
        { "1", true },
        { "yes\n", false },
        { "on", false },
        { "y", false },
        { "0", false },
        { "2", false },
        { "yess", false },
    };
    for (auto const& c : cases) {
        Environment environment;
        if (c.set)
            environment["PUPNIK_DEMO"] = *c.set;
        EXPECT_EQ(LaunchOptions::demo(environment), c.expected) << c.set.value_or("(unset)");
        // Every flag reads its own variable by the same rule.
        Environment renamed;
        if (c.set)
            renamed["PUPNIK_PREVIEW_ACTIVITY"] = *c.set;
        EXPECT_EQ(LaunchOptions::previewActivity(renamed), c.expected);
        EXPECT_FALSE(LaunchOptions::details(renamed));
    }
}

TEST(LaunchOptions, ChoicesMatchRawValuesExactlyAndLanguagesLeniently)
{
    Environment environment {
        { "PUPNIK_DEMO_CLIP", " walk " },
        { "PUPNIK_SKIN", "pixel" },
        { "PUPNIK_DEMO_AGENTS", "both" },
        { "PUPNIK_LANG", " pt_br " },
        { "PUPNIK_DETAILS", "1" },
        { "PUPNIK_SETTINGS", "true" },
        { "PUPNIK_LANGLIST", "yes" },
    };
    EXPECT_EQ(LaunchOptions::demoClip(environment), Clip::walk);
    EXPECT_EQ(LaunchOptions::skin(environment), Skin::pixel);
    EXPECT_EQ(LaunchOptions::demoAgents(environment), DemoAgents::both);
    EXPECT_EQ(LaunchOptions::language(environment), Language(Language::ptBR));
    EXPECT_TRUE(LaunchOptions::details(environment));
    EXPECT_TRUE(LaunchOptions::settings(environment));
    EXPECT_TRUE(LaunchOptions::languageList(environment));

    Environment wrong {
        { "PUPNIK_DEMO_CLIP", "Walk" },
        { "PUPNIK_SKIN", "   " },
        { "PUPNIK_DEMO_AGENTS", "Both" },
        { "PUPNIK_LANG", "en-US" },
    };
    EXPECT_EQ(LaunchOptions::demoClip(wrong), std::nullopt);
    EXPECT_EQ(LaunchOptions::demoClip({ { "PUPNIK_DEMO_CLIP", "sick" } }), std::nullopt);
    EXPECT_EQ(LaunchOptions::skin(wrong), std::nullopt);
    EXPECT_EQ(LaunchOptions::demoAgents(wrong), std::nullopt);
    // A system identifier is not a code.
    EXPECT_EQ(LaunchOptions::language(wrong), std::nullopt);
}

TEST(LaunchOptions, FreezeFrameIsASignedDecimalThatFits)
{
    struct Case {
        std::optional<std::string> value;
        std::optional<int64_t> expected;
    } const cases[] = {
        { "+3", 3 },
        { "-2", -2 },
        { "0", 0 },
        { "007", 7 },
        { "9223372036854775807", INT64_MAX },
        { "-9223372036854775808", INT64_MIN },
        { "9223372036854775808", std::nullopt },
        { "12345678901234567890", std::nullopt },
        { "3.0", std::nullopt },
        { "+", std::nullopt },
        { "-", std::nullopt },
        { "+-3", std::nullopt },
        { "3 4", std::nullopt },
        { "0x10", std::nullopt },
        { "", std::nullopt },
        { std::nullopt, std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(LaunchOptions::parseFreezeFrame(c.value), c.expected) << c.value.value_or("(none)");
    // Trimmed the same way as every value.
    EXPECT_EQ(LaunchOptions::parseFreezeFrame(LaunchOptions::value("PUPNIK_FREEZE_FRAME", { { "PUPNIK_FREEZE_FRAME", "\t-1 " } })), -1);
}

TEST(LaunchOptions, FreezeFrameIsReadOnceWhileOtherOptionsAreReadEveryTime)
{
    auto first = LaunchOptions::freezeFrame();
    ::setenv("PUPNIK_FREEZE_FRAME", first == 5 ? "6" : "5", 1);
    ::setenv("PUPNIK_DEMO", "yes", 1);
    EXPECT_EQ(LaunchOptions::freezeFrame(), first);
    EXPECT_TRUE(LaunchOptions::demo());
    ::setenv("PUPNIK_DEMO", "no", 1);
    EXPECT_FALSE(LaunchOptions::demo());
    ::unsetenv("PUPNIK_FREEZE_FRAME");
    ::unsetenv("PUPNIK_DEMO");
}
