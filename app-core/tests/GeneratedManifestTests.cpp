#include "app-core/SpriteManifest.hpp"

#include <gtest/gtest.h>

#include <filesystem>

using namespace PupnikCore;

// The manifest the build writes decodes under the application's rules and gives every clip the
// application's own counts and rates.
TEST(GeneratedManifest, MatchesTheApplicationsClips)
{
    auto path = std::filesystem::path(PUPNIK_SHARE_DIR) / "Sprites" / "manifest.json";
    if (!std::filesystem::is_directory(path.parent_path()))
        GTEST_SKIP() << "no generated sprite directory at " << path.parent_path();
    SpriteManifest manifest = SpriteManifest::load(path);
    for (Clip clip : allClips) {
        auto state = manifest.states.find(std::string(rawValue(clip)));
        ASSERT_NE(state, manifest.states.end()) << rawValue(clip);
        auto const& builtIn = SpriteManifest::builtIn().states.at(std::string(rawValue(clip)));
        EXPECT_EQ(state->second.frames, builtIn.frames) << rawValue(clip);
        EXPECT_EQ(state->second.fps, builtIn.fps) << rawValue(clip);
    }
    EXPECT_DOUBLE_EQ(manifest.aspect(), 1.35);
}
