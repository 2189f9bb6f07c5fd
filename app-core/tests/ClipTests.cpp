#include "app-core/Clip.hpp"
#include "app-core/ClipSelector.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;
using PawletKit::Gait;
using PawletKit::Mood;
using PawletKit::PawletState;

TEST(CoreClip, RawValuesTitlesAndSpeeds)
{
    struct Case {
        Clip clip;
        std::string_view raw;
        std::string_view titleKey;
        double speed;
    } const cases[] = {
        { Clip::run, "run", "state.run", 140 },
        { Clip::walk, "walk", "state.walk", 45 },
        { Clip::stroll, "stroll", "state.stroll", 18 },
        { Clip::idle, "idle", "state.idle", 0 },
        { Clip::hungry, "hungry", "state.hungry", 0 },
        { Clip::happy, "happy", "state.happy", 0 },
        { Clip::poop, "poop", "state.poop", 0 },
        { Clip::sick, "sick", "state.sick", 0 },
    };
    ASSERT_EQ(std::size(cases), allClips.size());
    for (size_t i = 0; i < allClips.size(); ++i) {
        EXPECT_EQ(allClips[i], cases[i].clip) << "order at " << i;
        EXPECT_EQ(rawValue(cases[i].clip), cases[i].raw);
        EXPECT_EQ(clipFromRawValue(cases[i].raw), cases[i].clip);
        EXPECT_EQ(localizationKey(cases[i].clip), cases[i].titleKey);
        EXPECT_EQ(speed(cases[i].clip), cases[i].speed) << cases[i].raw;
    }
    for (std::string_view text : { "Run", " run", "sick ", "", "Sick" })
        EXPECT_FALSE(clipFromRawValue(text)) << '"' << text << '"';
}

TEST(CoreClipSelector, ChoiceForEngineStates)
{
    struct Case {
        Mood mood;
        Gait gait;
        ClipChoice choice;
    } const cases[] = {
        { Mood::hungry, Gait::run, { Clip::hungry, 1.0 } },
        { Mood::happy, Gait::run, { Clip::happy, 1.0 } },
        { Mood::happy, Gait::sleep, { Clip::happy, 1.0 } },
        { Mood::poop, Gait::walk, { Clip::poop, 1.0 } },
        { Mood::normal, Gait::sleep, { Clip::idle, 0.5 } },
        { Mood::normal, Gait::idle, { Clip::idle, 1.0 } },
        { Mood::normal, Gait::stroll, { Clip::stroll, 1.0 } },
        { Mood::normal, Gait::walk, { Clip::walk, 1.0 } },
        { Mood::normal, Gait::run, { Clip::run, 1.0 } },
    };
    for (auto const& c : cases) {
        PawletState state;
        state.mood = c.mood;
        state.gait = c.gait;
        // Nothing but mood and gait matters.
        state.intensity = 0.9;
        state.busySessions = 3;
        EXPECT_EQ(ClipSelector::choice(state), c.choice) << rawValue(c.mood) << "/" << rawValue(c.gait);
    }
    EXPECT_NE((ClipChoice { Clip::idle, 0.5 }), (ClipChoice { Clip::idle, 1.0 }));
}

TEST(CoreClipSelector, DemoStates)
{
    struct Case {
        Clip clip;
        Gait gait;
        Mood mood;
        double intensity;
        int busy, waiting, known;
    } const cases[] = {
        { Clip::run, Gait::run, Mood::normal, 0.7, 2, 0, 2 },
        { Clip::walk, Gait::walk, Mood::normal, 0.7, 1, 0, 1 },
        { Clip::stroll, Gait::stroll, Mood::normal, 0.7, 1, 0, 1 },
        { Clip::idle, Gait::idle, Mood::normal, 0, 0, 0, 0 },
        { Clip::hungry, Gait::idle, Mood::hungry, 0, 0, 0, 0 },
        { Clip::happy, Gait::idle, Mood::happy, 0, 0, 0, 0 },
        { Clip::poop, Gait::idle, Mood::poop, 0, 0, 1, 1 },
        { Clip::sick, Gait::idle, Mood::normal, 0, 0, 0, 0 },
    };
    for (auto const& c : cases) {
        PawletState expected;
        expected.gait = c.gait;
        expected.mood = c.mood;
        expected.intensity = c.intensity;
        expected.busySessions = c.busy;
        expected.waitingSessions = c.waiting;
        expected.knownSessions = c.known;
        PawletState state = ClipSelector::demoState(c.clip);
        EXPECT_EQ(state, expected) << rawValue(c.clip);
        EXPECT_FALSE(state.quota.hasAnyValue());
        // The choice rule gives the clip back, except sick, which no state leads to.
        EXPECT_EQ(ClipSelector::choice(state), (ClipChoice { c.clip == Clip::sick ? Clip::idle : c.clip, 1.0 })) << rawValue(c.clip);
    }
}
