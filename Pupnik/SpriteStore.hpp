#pragma once

#include "Pupnik/MenuBarIcon.hpp"
#include "app-core/Clip.hpp"
#include "app-core/Skin.hpp"
#include "app-core/SpriteManifest.hpp"

#include <QImage>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Pupnik {

// The pet's frames, read from the sprite directory (<skin>/<clip>/NN.png beside manifest.json) in
// the one pixel format the view draws, the last three clips kept; coloured placeholders stand in
// for whatever is missing, so the pet always has something to show. Main thread only.
class SpriteStore final {
public:
    static constexpr size_t cachedClips = 3;
    static constexpr double sickOpacity = 0.55;
    // What one file and one clip may cost: a frame beyond these reads as missing, a clip stops
    // growing at the budget, so a hostile directory cannot exhaust memory.
    static constexpr int maxFrameSide = 2048;
    static constexpr int64_t maxFrameFileBytes = 16 << 20;
    static constexpr int64_t clipByteBudget = 64 << 20;
    static constexpr int maxPlaceholderSide = 1024;

    explicit SpriteStore(std::optional<std::filesystem::path> baseURL);

    // Never empty.
    std::vector<QImage> frames(PupnikCore::Skin skin, PupnikCore::Clip clip);
    // A clip read a frame per call, so that a start can show its first frame before the rest is
    // decoded: the frames read so far; once the clip is whole, or cannot be read and placeholders
    // stand in, it is cached as frames() would have it.
    std::vector<QImage> readAhead(PupnikCore::Skin skin, PupnikCore::Clip clip);
    bool isCached(PupnikCore::Skin skin, PupnikCore::Clip clip) const;
    double fps(PupnikCore::Clip clip) const;
    // The index is clamped for a cached clip; else the file of that index is read, nothing cached.
    std::optional<QImage> frame(PupnikCore::Skin skin, PupnikCore::Clip clip, int64_t index) const;

    static MenuBarIcon menuBarIcon(std::optional<QImage> const& sprite, bool badge);
    // One representation: 20 × 18 points at the given whole scale.
    static QImage menuBarIconImage(std::optional<QImage> const& sprite, bool badge, int scale);
    // The icon black on a light and white on a dark ground, 352 × 96 pixels; failures are ignored.
    static void writeIconPNG(std::optional<MenuBarIcon> const& icon, std::filesystem::path const& url);

    static std::optional<QImage> loadPNG(std::filesystem::path const& url);
    static std::vector<QImage> placeholderFrames(PupnikCore::Clip clip, int64_t count, PupnikCore::SpriteManifest const& manifest);
    static QImage faded(QImage const& frame);

    std::optional<std::filesystem::path> const& baseURL() const { return m_baseURL; }
    PupnikCore::SpriteManifest const& manifest() const { return m_manifest; }
    bool usingPlaceholders() const { return m_usingPlaceholders; }
    // Least recently used first.
    std::vector<std::string> const& cachedKeys() const { return m_lru; }

    // Told of the frames of a clip that leaves the cache.
    std::function<void(std::vector<QImage> const&)> onEvicted;

private:
    PupnikCore::Clip effectiveClip(PupnikCore::Clip clip) const;
    int64_t frameCount(PupnikCore::Clip effective) const;
    std::filesystem::path framePath(PupnikCore::Skin skin, PupnikCore::Clip effective, int64_t index) const;
    std::vector<QImage> loadClip(PupnikCore::Skin skin, PupnikCore::Clip effective, std::string const& key) const;
    void touch(std::string const& key);

    std::optional<std::filesystem::path> m_baseURL;
    PupnikCore::SpriteManifest m_manifest;
    bool m_usingPlaceholders { false };
    struct PartialClip {
        std::string key;
        std::vector<QImage> frames;
        int64_t bytes { 0 };
    };

    std::map<std::string, std::vector<QImage>> m_cache;
    std::optional<PartialClip> m_partial;
    std::vector<std::string> m_lru;
};

}
