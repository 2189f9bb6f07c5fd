#include "shared/Clip.hpp"
#include "shared/ClipSelector.hpp"

#include <gtest/gtest.h>

using namespace PawletShared;

TEST(SharedClip, RawValuesAndSpeeds)
{
    struct Case {
        Clip clip;
        std::string_view raw;
        double speed;
    } const cases[] = {
        { Clip::run, "run", 140 },
        { Clip::walk, "walk", 45 },
        { Clip::stroll, "stroll", 18 },
        { Clip::idle, "idle", 0 },
        { Clip::hungry, "hungry", 0 },
        { Clip::happy, "happy", 0 },
        { Clip::poop, "poop", 0 },
    };
    ASSERT_EQ(std::size(cases), allClips.size());
    for (size_t i = 0; i < allClips.size(); ++i) {
        EXPECT_EQ(allClips[i], cases[i].clip) << "order at " << i;
        EXPECT_EQ(rawValue(cases[i].clip), cases[i].raw);
        EXPECT_EQ(clipFromRawValue(cases[i].raw), cases[i].clip);
        EXPECT_EQ(speed(cases[i].clip), cases[i].speed) << cases[i].raw;
    }
    for (std::string_view text : { "sick", "Run", " run", "run ", "" })
        EXPECT_FALSE(clipFromRawValue(text)) << '"' << text << '"';
}

TEST(SharedClipSelector, MoodDecidesBeforeGait)
{
    struct Case {
        Mood mood;
        Gait gait;
        ClipChoice choice;
    } const cases[] = {
        { Mood::hungry, Gait::run, { Clip::hungry, 1.0 } },
        { Mood::hungry, Gait::sleep, { Clip::hungry, 1.0 } },
        { Mood::happy, Gait::walk, { Clip::happy, 1.0 } },
        { Mood::happy, Gait::sleep, { Clip::happy, 1.0 } },
        { Mood::poop, Gait::stroll, { Clip::poop, 1.0 } },
        { Mood::normal, Gait::sleep, { Clip::idle, 0.5 } },
        { Mood::normal, Gait::idle, { Clip::idle, 1.0 } },
        { Mood::normal, Gait::stroll, { Clip::stroll, 1.0 } },
        { Mood::normal, Gait::walk, { Clip::walk, 1.0 } },
        { Mood::normal, Gait::run, { Clip::run, 1.0 } },
    };
    for (auto const& c : cases)
        EXPECT_EQ(ClipSelector::choice(c.gait, c.mood), c.choice) << rawValue(c.mood) << "/" << rawValue(c.gait);

    // A hungry runner stands still; a sleeping pet is not an idle one.
    EXPECT_EQ(speed(ClipSelector::choice(Gait::run, Mood::hungry).clip), 0);
    EXPECT_NE(ClipSelector::choice(Gait::sleep, Mood::normal), ClipSelector::choice(Gait::idle, Mood::normal));
    for (Gait gait : allGaits)
        EXPECT_EQ(ClipSelector::choice(gait, Mood::normal).clip, clipForGait(gait));
}

TEST(ClipSelector, ASnapshotChoosesByItsMoodAndGaitAlone)
{
    PawletShared::PetSnapshot snapshot;
    snapshot.gait = PawletShared::Gait::run;
    snapshot.mood = PawletShared::Mood::hungry;
    snapshot.intensity = 1;
    EXPECT_EQ(PawletShared::ClipSelector::choice(snapshot), PawletShared::ClipSelector::choice(PawletShared::Gait::run, PawletShared::Mood::hungry));
}
