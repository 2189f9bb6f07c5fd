#include "Pupnik/LaunchOptions.hpp"

#include <gtest/gtest.h>

using namespace Pupnik;
using PawletKit::Environment;

namespace {

LaunchOptions read(Environment environment)
{
    environment.emplace("HOME", "/home/u");
    return LaunchOptions(environment, PawletKit::Date::fromSeconds(1000), "/work");
}

}

TEST(LaunchOptions, AnEmptyEnvironmentGivesEveryDefault)
{
    auto options = read({});
    EXPECT_FALSE(options.demoClip);
    EXPECT_FALSE(options.demoSkin);
    EXPECT_FALSE(options.skipOnboarding || options.noCloud || options.noModals || options.debugOpenApprovalOnLaunch);
    EXPECT_FALSE(options.spritesDir || options.defaultsSuite || options.debugFrameFile || options.language || options.snapshotDir);
    EXPECT_FALSE(options.codexSessionsDir || options.debugCloudStatusAfter || options.debugFocusOnLaunch || options.debugWaitingTarget);
    EXPECT_FALSE(options.debugApprove);
    EXPECT_TRUE(options.debugMenuKeys.empty());
    EXPECT_EQ(options.claudeSettingsURL, std::filesystem::path("/home/u/.claude/settings.json"));
    EXPECT_EQ(options.paths.base(), std::filesystem::path("/home/u/.local/share/Pupnik"));
}

TEST(LaunchOptions, PathsAreTrimmedExpandedAndMadeAbsolute)
{
    EXPECT_EQ(read({ { "PUPNIK_CLAUDE_SETTINGS", "  ~/cfg/s.json\n" } }).claudeSettingsURL, std::filesystem::path("/home/u/cfg/s.json"));
    EXPECT_EQ(read({ { "PUPNIK_CLAUDE_SETTINGS", " \t\n" } }).claudeSettingsURL, std::filesystem::path("/home/u/.claude/settings.json"));
    EXPECT_EQ(read({ { "PUPNIK_SPRITES_DIR", "art/../Sprites" } }).spritesDir, std::filesystem::path("/work/Sprites"));
    EXPECT_EQ(read({ { "PUPNIK_SUPPORT_DIR", "/tmp/support" } }).paths.base(), std::filesystem::path("/tmp/support"));
}

TEST(LaunchOptions, FlagsNumbersAndDelays)
{
    struct Case {
        std::string value;
        bool flag;
        std::optional<double> number;
        std::optional<double> delay;
    } const cases[] = {
        { "YES", true, std::nullopt, 3.0 },
        { " yes", false, std::nullopt, 3.0 },
        { "1", true, 1.0, 1.0 },
        { "0", false, 0.0, 0.0 },
        { "2.5", false, 2.5, 2.5 },
        { " 2.5", false, std::nullopt, 2.5 },
        { " true ", false, std::nullopt, 3.0 },
        { "-1", false, std::nullopt, std::nullopt },
        { "nan", false, std::nullopt, std::nullopt },
        { "inf", false, std::nullopt, std::nullopt },
        { "Infinity", false, std::nullopt, std::nullopt },
        { "0x10", false, std::nullopt, std::nullopt },
        { "1e999", false, std::nullopt, std::nullopt },
        { "+7", false, 7.0, 7.0 },
        { "", false, std::nullopt, std::nullopt },
        { "later", false, std::nullopt, std::nullopt },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(LaunchOptions::flag(c.value), c.flag) << c.value;
        EXPECT_EQ(LaunchOptions::number(c.value), c.number) << c.value;
        EXPECT_EQ(LaunchOptions::delayOrFlag(c.value), c.delay) << c.value;
    }
    auto options = read({ { "PUPNIK_NO_CLOUD", "TRUE" }, { "PUPNIK_DEBUG_CLOUD_STATUS_AFTER", "2.5" }, { "PUPNIK_DEBUG_FOCUS_ON_LAUNCH", "0" } });
    EXPECT_TRUE(options.noCloud);
    EXPECT_EQ(options.debugCloudStatusAfter, 2.5);
    EXPECT_EQ(options.debugFocusOnLaunch, 0.0);
}

TEST(LaunchOptions, NamesListsAndDecisions)
{
    EXPECT_EQ(read({ { "PUPNIK_DEMO_STATE", "Hungry" } }).demoClip, PupnikCore::Clip::hungry);
    EXPECT_FALSE(read({ { "PUPNIK_DEMO_STATE", " hungry" } }).demoClip);
    EXPECT_EQ(read({ { "PUPNIK_DEMO_STATE", "sick" } }).demoClip, PupnikCore::Clip::sick);
    EXPECT_EQ(read({ { "PUPNIK_DEMO_SKIN", "PIXEL" } }).demoSkin, PupnikCore::Skin::pixel);
    EXPECT_EQ(read({ { "PUPNIK_DEBUG_MENU_KEYS", "Down,, ,RETURN," } }).debugMenuKeys, (std::vector<std::string> { "down", "return" }));
    EXPECT_EQ(read({ { "PUPNIK_DEBUG_APPROVE", " Deny" } }).debugApprove, PawletKit::ApprovalDecision::deny);
    EXPECT_FALSE(read({ { "PUPNIK_DEBUG_APPROVE", "yes" } }).debugApprove);
    EXPECT_EQ(read({ { "PUPNIK_DEFAULTS_SUITE", " s " } }).defaultsSuite, " s ");
    EXPECT_EQ(read({ { "PUPNIK_LANG", "pt_BR" } }).language, PupnikCore::Language::fromCode("pt-BR"));
    EXPECT_EQ(read({ { "PUPNIK_LANG", "de-AT" } }).language, PupnikCore::Language::fromCode("de"));
    EXPECT_FALSE(read({ { "PUPNIK_LANG", "xx" } }).language);
}

TEST(LaunchOptions, TheWaitingTargetNeedsASessionId)
{
    Environment environment { { "PUPNIK_DEBUG_WAITING_PIDS", "12, x, -3 ,0, +7,," }, { "PUPNIK_DEBUG_WAITING_TTY", "pts/3" },
        { "PUPNIK_DEBUG_WAITING_CWD", "/src" } };
    EXPECT_FALSE(read(environment).debugWaitingTarget);
    environment["PUPNIK_DEBUG_WAITING_SID"] = "codex:abc";
    auto target = read(environment).debugWaitingTarget;
    ASSERT_TRUE(target);
    EXPECT_EQ(target->sid, "codex:abc");
    EXPECT_EQ(target->source, PawletKit::SessionSource::codex);
    EXPECT_EQ(target->pids, (std::vector<int32_t> { 12, 7 }));
    EXPECT_EQ(target->tty, "pts/3");
    EXPECT_EQ(target->cwd, "/src");
    EXPECT_EQ(target->since, PawletKit::Date::fromSeconds(1000));
    environment["PUPNIK_DEBUG_WAITING_PIDS"] = "2147483648,2147483647";
    EXPECT_EQ(read(environment).debugWaitingTarget->pids, (std::vector<int32_t> { 2147483647 }));
}
