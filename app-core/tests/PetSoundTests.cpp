#include "PawletKit/tests/TestSupport.hpp"
#include "app-core/PetSound.hpp"
#include "platform/InstallLayout.hpp"

#include <gtest/gtest.h>
#include <unordered_set>

using namespace PupnikCore;
namespace fs = std::filesystem;

TEST(PetSound, NamesAndFileNames)
{
    struct Case {
        PetSound sound;
        char const* raw;
        char const* file;
    } const cases[] = {
        { PetSound::woof, "woof", "woof.wav" },
        { PetSound::whimper, "whimper", "whimper.wav" },
        { PetSound::yip, "yip", "yip.wav" },
        { PetSound::snore, "snore", "snore.wav" },
    };
    ASSERT_EQ(PetSound::allCases.size(), std::size(cases));
    std::unordered_set<PetSound> distinct;
    for (size_t i = 0; i < std::size(cases); ++i) {
        auto const& c = cases[i];
        EXPECT_EQ(PetSound(PetSound::allCases[i]), c.sound) << "order of all cases at " << i;
        EXPECT_EQ(c.sound.rawValue(), c.raw);
        EXPECT_EQ(c.sound.fileName(), c.file);
        EXPECT_EQ(PetSound::fromRawValue(c.raw), c.sound);
        distinct.insert(c.sound);
    }
    EXPECT_EQ(distinct.size(), 4u);
    for (char const* text : { "Woof", "WOOF", "woof.wav", " yip", "snore\n", "", "bark" })
        EXPECT_FALSE(PetSound::fromRawValue(text)) << text;
}

TEST(PetSound, FileIsFoundBesideTheLocalisationFolder)
{
    struct Case {
        char const* name;
        std::vector<char const*> files; // relative to the share folder
        std::vector<char const*> folders;
        char const* localization; // relative to the share folder; nullptr for none
        std::optional<char const*> expected;
    } const cases[] = {
        { "sibling file", { "i18n/en.json", "sounds/yip.wav" }, {}, "i18n", "sounds/yip.wav" },
        { "trailing slash", { "i18n/en.json", "sounds/yip.wav" }, {}, "i18n/", "sounds/yip.wav" },
        { "no localisation folder", { "sounds/yip.wav" }, {}, nullptr, std::nullopt },
        { "no sounds folder", { "i18n/en.json" }, {}, "i18n", std::nullopt },
        { "other sounds only", { "i18n/en.json", "sounds/woof.wav", "sounds/snore.wav" }, {}, "i18n", std::nullopt },
        { "file inside the localisation folder", { "i18n/sounds/yip.wav", "i18n/yip.wav" }, {}, "i18n", std::nullopt },
        { "folder named like the file", { "i18n/en.json" }, { "sounds/yip.wav" }, "i18n", std::nullopt },
        { "name in capitals", { "i18n/en.json", "sounds/YIP.WAV" }, {}, "i18n", std::nullopt },
    };
    for (auto const& c : cases) {
        TestSupport::TemporaryDirectory share;
        for (auto const* file : c.files)
            TestSupport::writeFile(share.path() / file, "RIFF");
        for (auto const* folder : c.folders)
            fs::create_directories(share.path() / folder);
        std::optional<fs::path> localization;
        if (c.localization)
            localization = share.path() / c.localization;
        auto found = PetSound(PetSound::yip).resourceURL(localization);
        if (c.expected)
            EXPECT_EQ(found, share.path() / *c.expected) << c.name;
        else
            EXPECT_EQ(found, std::nullopt) << c.name;
    }
}

TEST(PetSound, InstalledFilesFollowTheLocalisationFolderOfTheRunningInstallation)
{
    auto layout = Platform::InstallLayout::ofRunningProgram();
    ASSERT_TRUE(layout);
    fs::path const share = PUPNIK_SHARE_DIR;
    ASSERT_EQ(fs::weakly_canonical(layout->shareDirectory()), fs::weakly_canonical(share));
    // The sounds are staged whether or not the localisation tables are; without them there is no
    // folder to be beside, and the sounds stay silent rather than being guessed at.
    bool const hasLocalization = fs::is_directory(share / "i18n");
    for (auto value : PetSound::allCases) {
        PetSound sound(value);
        EXPECT_TRUE(fs::is_regular_file(share / "sounds" / sound.fileName())) << sound.fileName();
        auto found = sound.resourceURL();
        if (hasLocalization) {
            ASSERT_TRUE(found) << sound.fileName();
            EXPECT_EQ(fs::weakly_canonical(*found), fs::weakly_canonical(share / "sounds" / sound.fileName()));
        } else {
            EXPECT_EQ(found, std::nullopt) << sound.fileName();
        }
    }
}
