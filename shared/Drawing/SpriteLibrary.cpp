#include "shared/Drawing/SpriteLibrary.hpp"

#include "platform/Log.hpp"
#include "shared/CollarAnchorCache.hpp"
#include "shared/DecodingError.hpp"
#include "shared/Drawing/ImageFile.hpp"
#include "shared/SpriteManifestCoding.hpp"
#include "shared/SpriteMath.hpp"

#include <algorithm>
#include <system_error>

namespace PawletShared {

namespace {

SpriteManifest manifestOf(std::filesystem::path const& root)
{
    try {
        return SpriteManifest::load(root / "manifest.json");
    } catch (std::system_error const&) {
    } catch (DecodingError const&) {
    }
    return SpriteManifest::builtIn();
}

}

SpriteLibrary::SpriteLibrary(std::filesystem::path root, LogSink log)
    : m_root(std::move(root))
    , m_manifest(manifestOf(m_root))
    , m_log(log ? std::move(log) : LogSink(Platform::Log::line))
{
    for (Skin skin : allSkins) {
        std::error_code ignored;
        if (std::filesystem::exists(std::filesystem::symlink_status(m_root / rawValue(skin), ignored)))
            m_availableSkins.push_back(skin);
    }
    m_collarAnchors = CollarAnchorCache::shared().load(m_root / "collar.json");
}

std::unique_ptr<SpriteLibrary> SpriteLibrary::fromBundle(std::filesystem::path const& resources, std::string_view subdirectory, LogSink log)
{
    auto folder = resources / subdirectory;
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(folder / "manifest.json", ignored))
        return nullptr;
    return std::make_unique<SpriteLibrary>(folder, std::move(log));
}

std::optional<CollarAnchors> SpriteLibrary::collarAnchors(std::filesystem::path const& resources, std::string_view subdirectory)
{
    return CollarAnchorCache::shared().fromBundle(resources, subdirectory);
}

Skin SpriteLibrary::resolvedSkin(Skin skin) const
{
    if (std::find(m_availableSkins.begin(), m_availableSkins.end(), skin) != m_availableSkins.end())
        return skin;
    if (!m_availableSkins.empty())
        return m_availableSkins.front();
    return skin;
}

ClipFrames SpriteLibrary::frames(Skin skin, Clip clip)
{
    Skin const resolved = resolvedSkin(skin);
    std::string key = std::string(rawValue(resolved)) + "/" + std::string(rawValue(clip));

    std::lock_guard guard(m_lock);
    if (auto found = m_cache.find(key); found != m_cache.end())
        return found->second;

    auto const timing = m_manifest.timing(clip);
    // A manifest built in code may hold any count; read no more files than a decoded one could name.
    int64_t const count = std::clamp<int64_t>(timing.frames, 0, SpriteManifestCoding::maxFrames);
    ClipFrames loaded { resolved, clip, {}, timing.fps };
    loaded.images.reserve(static_cast<size_t>(count));
    for (int64_t index = 0; index < count; ++index) {
        auto const url = frameURL(resolved, clip, index);
        QImage image = ImageFile::read(url);
        if (!image.isNull()) {
            loaded.images.push_back(std::move(image));
            continue;
        }
        if (m_reportedMissing.insert(url.string()).second)
            m_log("sprites: missing sprite frame " + url.string());
    }

    m_cache.insert_or_assign(key, loaded);
    m_cacheOrder.push_back(key);
    while (m_cacheOrder.size() > cacheCapacity) {
        m_cache.erase(m_cacheOrder.front());
        m_cacheOrder.pop_front();
    }
    return loaded;
}

std::filesystem::path SpriteLibrary::frameURL(Skin skin, Clip clip, int64_t index) const
{
    return m_root / rawValue(skin) / rawValue(clip) / SpriteMath::fileName(index);
}

}
