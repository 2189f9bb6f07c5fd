// The sprite directory the build draws: every frame of every skin and clip present and decodable,
// and the collar on the dog in each of them.
#include "shared/CollarAnchors.hpp"
#include "shared/Drawing/ImageFile.hpp"
#include "shared/Drawing/SpriteLibrary.hpp"
#include "shared/Drawing/StillFrames.hpp"
#include "shared/SpriteMath.hpp"

#include <gtest/gtest.h>

#include <cmath>

using namespace PawletShared;
namespace fs = std::filesystem;

namespace {

fs::path spritesRoot()
{
    return fs::path(PUPNIK_SHARE_DIR) / "Sprites";
}

// The application's clips and counts; sick is a folder the shared clips do not name.
struct ClipFolder {
    std::string_view name;
    int64_t frames;
    std::optional<Clip> shared;
};

ClipFolder const clipFolders[] = {
    { "run", 10, Clip::run },
    { "walk", 18, Clip::walk },
    { "stroll", 31, Clip::stroll },
    { "idle", 58, Clip::idle },
    { "hungry", 48, Clip::hungry },
    { "happy", 12, Clip::happy },
    { "poop", 62, Clip::poop },
    { "sick", 36, std::nullopt },
};

class GeneratedSprites : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::is_directory(spritesRoot()))
            GTEST_SKIP() << "no generated sprite directory at " << spritesRoot();
    }
};

}

TEST_F(GeneratedSprites, ManifestGivesTheClipsTheirCounts)
{
    SpriteManifest manifest = SpriteManifest::load(spritesRoot() / "manifest.json");
    EXPECT_EQ(manifest.box, (SpriteManifest::Box { 135, 100 }));
    EXPECT_EQ(manifest.scale, 2);
    for (auto const& folder : clipFolders) {
        auto state = manifest.states.find(std::string(folder.name));
        ASSERT_NE(state, manifest.states.end()) << folder.name;
        EXPECT_EQ(state->second.frames, folder.frames) << folder.name;
        EXPECT_GT(state->second.fps, 0) << folder.name;
    }
}

TEST_F(GeneratedSprites, EveryFrameOfEverySkinAndClipDecodes)
{
    std::vector<std::string> missing;
    SpriteLibrary library(spritesRoot(), [&](std::string_view line) { missing.emplace_back(line); });
    ASSERT_EQ(library.availableSkins(), std::vector<Skin>(allSkins.begin(), allSkins.end()));
    int const width = static_cast<int>(library.manifest().box.w * library.manifest().scale);
    int const height = static_cast<int>(library.manifest().box.h * library.manifest().scale);

    for (Skin skin : allSkins) {
        for (auto const& folder : clipFolders) {
            std::vector<QImage> images;
            if (folder.shared) {
                ClipFrames frames = library.frames(skin, *folder.shared);
                EXPECT_EQ(frames.skin, skin);
                images = frames.images;
            } else {
                for (int64_t index = 0; index < folder.frames; ++index) {
                    QImage image = ImageFile::read(spritesRoot() / rawValue(skin) / folder.name / SpriteMath::fileName(index));
                    if (!image.isNull())
                        images.push_back(image);
                }
            }
            EXPECT_EQ(static_cast<int64_t>(images.size()), folder.frames) << rawValue(skin) << "/" << folder.name;
            for (QImage const& image : images) {
                EXPECT_EQ(image.size(), QSize(width, height)) << rawValue(skin) << "/" << folder.name;
                EXPECT_TRUE(image.hasAlphaChannel()) << rawValue(skin) << "/" << folder.name;
            }

            auto still = folder.shared ? StillFrames::image(skin, *folder.shared, spritesRoot())
                                       : std::optional<QImage>(ImageFile::read(spritesRoot() / "Stills" / rawValue(skin) / (std::string(folder.name) + ".png")));
            EXPECT_TRUE(still && !still->isNull()) << "still " << rawValue(skin) << "/" << folder.name;
        }
    }
    EXPECT_TRUE(missing.empty()) << ::testing::PrintToString(missing);
}

TEST_F(GeneratedSprites, EveryCollarAnchorSitsOnTheDog)
{
    CollarAnchors collar = CollarAnchors::load(spritesRoot() / "collar.json");
    EXPECT_EQ(collar.pixelSize, (CollarAnchors::Size { 270, 200 }));
    EXPECT_GT(collar.tag.r, 0);

    for (Skin skin : allSkins) {
        for (auto const& folder : clipFolders) {
            std::string const where = std::string(rawValue(skin)) + "/" + std::string(folder.name);
            auto clips = collar.anchors.find(std::string(rawValue(skin)));
            ASSERT_NE(clips, collar.anchors.end()) << where;
            auto list = clips->second.find(std::string(folder.name));
            ASSERT_NE(list, clips->second.end()) << where;
            ASSERT_EQ(static_cast<int64_t>(list->second.size()), folder.frames) << where;
            for (int64_t index = 0; index < folder.frames; ++index) {
                CollarAnchor const& anchor = list->second[static_cast<size_t>(index)];
                QImage image = ImageFile::read(spritesRoot() / rawValue(skin) / folder.name / SpriteMath::fileName(index));
                ASSERT_FALSE(image.isNull()) << where << " " << index;
                bool inside = anchor.x >= 0 && anchor.y >= 0 && anchor.x < image.width() && anchor.y < image.height();
                EXPECT_TRUE(inside) << where << " frame " << index << " anchor " << anchor.x << "," << anchor.y;
                EXPECT_GT(anchor.w, 0) << where << " frame " << index;
                EXPECT_GT(anchor.h, 0) << where << " frame " << index;
                if (!inside)
                    continue;
                int alpha = qAlpha(image.pixel(static_cast<int>(std::floor(anchor.x)), static_cast<int>(std::floor(anchor.y))));
                EXPECT_GE(alpha, 128) << where << " frame " << index << ": the collar's centre is off the dog";
            }
        }
    }
}
