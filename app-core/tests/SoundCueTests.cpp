#include "app-core/SoundCue.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;
using PawletKit::Mood;

TEST(SoundCue, EveryMoodChangeWithSoundsOnAndOff)
{
    struct Case {
        Mood previous;
        Mood mood;
        std::optional<PetSound> expected;
    } const cases[] = {
        { Mood::normal, Mood::normal, std::nullopt },
        { Mood::normal, Mood::hungry, PetSound::whimper },
        { Mood::normal, Mood::happy, std::nullopt },
        { Mood::normal, Mood::poop, PetSound::woof },
        { Mood::hungry, Mood::normal, std::nullopt },
        { Mood::hungry, Mood::hungry, std::nullopt },
        { Mood::hungry, Mood::happy, PetSound::yip },
        { Mood::hungry, Mood::poop, PetSound::woof },
        { Mood::happy, Mood::normal, std::nullopt },
        { Mood::happy, Mood::hungry, PetSound::whimper },
        { Mood::happy, Mood::happy, std::nullopt },
        { Mood::happy, Mood::poop, PetSound::woof },
        { Mood::poop, Mood::normal, std::nullopt },
        { Mood::poop, Mood::hungry, PetSound::whimper },
        { Mood::poop, Mood::happy, std::nullopt },
        { Mood::poop, Mood::poop, std::nullopt },
    };
    ASSERT_EQ(std::size(cases), PawletKit::allMoods.size() * PawletKit::allMoods.size());
    for (auto const& c : cases) {
        auto const label = std::string(rawValue(c.previous)) + " -> " + std::string(rawValue(c.mood));
        EXPECT_EQ(SoundCue::sound(c.previous, c.mood, true), c.expected) << label;
        EXPECT_EQ(SoundCue::sound(c.previous, c.mood, false), std::nullopt) << label << " with sounds off";
    }
}

TEST(SoundCue, SnoreIsNeverCued)
{
    for (Mood previous : PawletKit::allMoods)
        for (Mood mood : PawletKit::allMoods)
            EXPECT_NE(SoundCue::sound(previous, mood, true), PetSound(PetSound::snore));
}
