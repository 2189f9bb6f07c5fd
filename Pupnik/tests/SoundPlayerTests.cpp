#include "Pupnik/SoundPlayer.hpp"
#include "platform/FakeAudioOutput.hpp"

#include <gtest/gtest.h>

#include <map>

using namespace Pupnik;
using PupnikCore::PetSound;

namespace {

class ScriptedMute final : public Platform::OutputMuteQuery {
public:
    bool isMuted() override
    {
        ++asked;
        return muted;
    }
    bool muted { false };
    int asked { 0 };
};

// A player over the fake output, a clock the test moves, and sound files that exist only when named.
struct Voice {
    Platform::ManualClock clock;
    std::shared_ptr<Platform::FakeAudioOutput::Record> output = std::make_shared<Platform::FakeAudioOutput::Record>();
    std::shared_ptr<ScriptedMute> mute = std::make_shared<ScriptedMute>();
    std::map<PetSound::Value, std::filesystem::path> files {
        { PetSound::woof, "/sounds/woof.wav" },
        { PetSound::whimper, "/sounds/whimper.wav" },
        { PetSound::yip, "/sounds/yip.wav" },
        { PetSound::snore, "/sounds/snore.wav" },
    };
    int lookups { 0 };
    SoundPlayer player { std::make_unique<Platform::FakeAudioOutput>(output), mute, clock,
        [this](PetSound sound) -> std::optional<std::filesystem::path> {
            ++lookups;
            if (auto found = files.find(sound.value()); found != files.end())
                return found->second;
            return std::nullopt;
        } };
};

}

TEST(SoundPlayer, TheCooldownIsSharedByAllSoundsAndCheckedBeforeTheMute)
{
    struct Case {
        char const* name;
        double gap;
        bool mutedThen;
        std::string second;
    };
    for (auto const& c : std::vector<Case> {
             { "0.3 s later, another sound", 0.3, false, "skipped(too-soon)" },
             { "0.4 s later", 0.4, false, "played(whimper)" },
             { "muted, inside the cooldown", 0.3, true, "skipped(too-soon)" },
             { "muted, after the cooldown", 0.5, true, "skipped(muted)" },
         }) {
        SCOPED_TRACE(c.name);
        Voice voice;
        EXPECT_EQ(voice.player.play(PetSound::woof, true), "played(woof)");
        voice.clock.advance(c.gap);
        voice.mute->muted = c.mutedThen;
        int const askedBefore = voice.mute->asked;
        EXPECT_EQ(voice.player.play(PetSound::whimper, true), c.second);
        // Too soon answers without asking the sound server.
        EXPECT_EQ(voice.mute->asked - askedBefore, c.second == "skipped(too-soon)" ? 0 : 1);
    }
}

TEST(SoundPlayer, SkippedRequestsLeaveTheCooldownAlone)
{
    Voice voice;
    EXPECT_EQ(voice.player.play(PetSound::woof, false), "skipped(disabled)");
    voice.mute->muted = true;
    EXPECT_EQ(voice.player.play(PetSound::woof, true), "skipped(muted)");
    voice.mute->muted = false;
    // Neither counted: the very next request plays.
    EXPECT_EQ(voice.player.play(PetSound::yip, true), "played(yip)");
    EXPECT_EQ(voice.output->started, std::vector<std::filesystem::path> { "/sounds/yip.wav" });
    // Off wins over everything, even inside the cooldown and without asking about the mute.
    int const asked = voice.mute->asked;
    EXPECT_EQ(voice.player.play(PetSound::yip, false), "skipped(disabled)");
    EXPECT_EQ(voice.mute->asked, asked);
}

TEST(SoundPlayer, AStartTheServerRefusesFailsAndStillCountsForTheCooldown)
{
    Voice voice;
    voice.output->starts = false;
    EXPECT_EQ(voice.player.play(PetSound::snore, true), "failed(snore)");
    voice.output->starts = true;
    voice.clock.advance(0.1);
    EXPECT_EQ(voice.player.play(PetSound::snore, true), "skipped(too-soon)");
    voice.clock.advance(0.3);
    EXPECT_EQ(voice.player.play(PetSound::snore, true), "played(snore)");
}

TEST(SoundPlayer, AMissingFileIsSaidOnceAndLookedForAgainEachTime)
{
    Voice voice;
    voice.files.erase(PetSound::whimper);
    testing::internal::CaptureStderr();
    // No time passes: a missing sound does not count for the cooldown.
    for (int request = 0; request < 3; ++request)
        EXPECT_EQ(voice.player.play(PetSound::whimper, true), "missing(whimper)");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Pupnik] sound: whimper.wav is not in the bundle — sounds for whimper are off\n");
    EXPECT_EQ(voice.lookups, 3);
    EXPECT_TRUE(voice.output->opened.empty());
    // The other sounds are not affected, and the file is found once it is there.
    EXPECT_EQ(voice.player.play(PetSound::woof, true), "played(woof)");
    voice.files[PetSound::whimper] = "/sounds/whimper.wav";
    voice.clock.advance(1);
    EXPECT_EQ(voice.player.play(PetSound::whimper, true), "played(whimper)");
}

TEST(SoundPlayer, AnUnreadableFileIsSaidOnceWithTheReason)
{
    Voice voice;
    voice.output->unreadable.insert("/sounds/yip.wav");
    testing::internal::CaptureStderr();
    EXPECT_EQ(voice.player.play(PetSound::yip, true), "missing(yip)");
    EXPECT_EQ(voice.player.play(PetSound::yip, true), "missing(yip)");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Pupnik] sound: yip.wav could not be opened: not a WAV file\n");
    EXPECT_EQ(voice.output->opened.size(), 2u);
}

TEST(SoundPlayer, StopAllStopsWhatPlaysAndKeepsEveryPlayer)
{
    Voice voice;
    EXPECT_EQ(voice.player.play(PetSound::woof, true), "played(woof)");
    voice.clock.advance(1);
    EXPECT_EQ(voice.player.play(PetSound::yip, true), "played(yip)");
    // The woof has ended by itself; only the yip still plays.
    voice.output->playing.erase("/sounds/woof.wav");
    voice.player.stopAll();
    EXPECT_EQ(voice.output->stopped, std::vector<std::filesystem::path> { "/sounds/yip.wav" });
    EXPECT_TRUE(voice.output->playing.empty());
    // The next requests reuse the prepared players: each file was opened once.
    voice.clock.advance(1);
    EXPECT_EQ(voice.player.play(PetSound::yip, true), "played(yip)");
    voice.clock.advance(1);
    EXPECT_EQ(voice.player.play(PetSound::woof, true), "played(woof)");
    EXPECT_EQ(voice.output->opened, (std::vector<std::filesystem::path> { "/sounds/woof.wav", "/sounds/yip.wav" }));
}

TEST(SoundPlayer, WithoutAMuteQueryTheOutputCountsAsHeard)
{
    Platform::ManualClock clock;
    SoundPlayer player(std::make_unique<Platform::FakeAudioOutput>(), nullptr, clock, [](PetSound) { return std::filesystem::path("/a.wav"); });
    EXPECT_FALSE(player.isSystemOutputMuted());
    EXPECT_EQ(player.play(PetSound::woof, true), "played(woof)");
}
