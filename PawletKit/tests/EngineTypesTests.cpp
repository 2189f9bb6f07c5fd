#include "PawletKit/EngineConfig.hpp"
#include "PawletKit/Gait.hpp"
#include "PawletKit/Mood.hpp"
#include "PawletKit/PawletState.hpp"
#include "PawletKit/SessionSource.hpp"

#include <gtest/gtest.h>

#include <cmath>

using namespace PawletKit;

TEST(SessionSource, FromSessionId)
{
    struct Case {
        std::optional<std::string_view> sid;
        SessionSource source;
    } const cases[] = {
        { std::nullopt, SessionSource::claude },
        { "", SessionSource::claude },
        { "3f2a-uuid", SessionSource::claude },
        { "Codex:abc", SessionSource::claude },
        { "proc", SessionSource::claude },
        { "codex:", SessionSource::codex },
        { "codex:proc:1", SessionSource::codex },
        { "proc:node:1", SessionSource::process },
        { "proc:", SessionSource::process },
    };
    for (auto const& c : cases)
        EXPECT_EQ(sessionSourceOf(c.sid), c.source) << c.sid.value_or("(none)");
    EXPECT_EQ(labelKey(SessionSource::codex), "source.codex");
}

TEST(EngineTypes, RawValuesRoundTrip)
{
    for (Gait gait : allGaits)
        EXPECT_EQ(gaitFromRawValue(rawValue(gait)), gait);
    for (Mood mood : allMoods)
        EXPECT_EQ(moodFromRawValue(rawValue(mood)), mood);
    for (SessionSource source : allSessionSources)
        EXPECT_EQ(sessionSourceFromRawValue(rawValue(source)), source);
    EXPECT_EQ(rawValue(Gait::stroll), "stroll");
    EXPECT_EQ(rawValue(Mood::poop), "poop");
    EXPECT_FALSE(gaitFromRawValue("Run"));
    EXPECT_FALSE(moodFromRawValue(""));
    EXPECT_FALSE(sessionSourceFromRawValue("gemini"));
}

TEST(PawletState, DerivedSourceValues)
{
    struct Case {
        std::map<std::string, int> counts;
        std::vector<std::string> ordered;
        bool nonClaude;
        int total;
    } const cases[] = {
        { {}, {}, false, 0 },
        { { { "gemini", 1 }, { "codex", 2 }, { "aider", 3 }, { "claude", 0 } }, { "codex", "aider", "gemini" }, true, 6 },
        { { { "claude", 5 }, { "codex", 0 } }, { "claude" }, false, 5 },
        { { { "process", 1 }, { "claude", 2 }, { "codex", 1 } }, { "claude", "codex", "process" }, true, 4 },
    };
    for (auto const& c : cases) {
        PawletState state;
        state.sourceCounts = c.counts;
        EXPECT_EQ(state.orderedSources(), c.ordered);
        EXPECT_EQ(state.hasNonClaudeSessions(), c.nonClaude);
        EXPECT_EQ(state.totalSessions(), c.total);
    }
}

TEST(EngineConfig, Scale)
{
    EXPECT_NEAR(EngineConfig::defaults().k(), 13.38157389035575, 1e-12);

    auto withAnchor = [](double anchor) {
        EngineConfig config;
        config.anchorIntensity = anchor;
        return config.k();
    };
    // -8 is tau × both tool weights × (12 calls ÷ -60 s) with the defaults.
    EXPECT_DOUBLE_EQ(withAnchor(0.995), -8 / std::log(0.01));
    EXPECT_DOUBLE_EQ(withAnchor(0.01), -8 / -0.01005033585350145);
    EXPECT_DOUBLE_EQ(withAnchor(0), -8 / -0.01005033585350145);

    EngineConfig overridden;
    overridden.kOverride = 3;
    overridden.tau = 1000;
    overridden.anchorIntensity = 0;
    EXPECT_EQ(overridden.k(), 3);
}
