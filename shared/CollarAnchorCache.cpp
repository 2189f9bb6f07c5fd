#include "shared/CollarAnchorCache.hpp"

#include "shared/DecodingError.hpp"

#include <system_error>

namespace PawletShared {

CollarAnchorCache& CollarAnchorCache::shared()
{
    // Never destroyed: callers on other threads may still use it while the process exits.
    static CollarAnchorCache* const cache = new CollarAnchorCache;
    return *cache;
}

std::optional<CollarAnchors> CollarAnchorCache::load(std::filesystem::path const& url)
{
    std::lock_guard guard(m_lock);
    std::string key = url.string();
    if (auto found = m_map.find(key); found != m_map.end())
        return found->second;
    try {
        CollarAnchors anchors = CollarAnchors::load(url);
        return m_map.emplace(key, std::move(anchors)).first->second;
    } catch (std::system_error const&) {
    } catch (DecodingError const&) {
    }
    return std::nullopt;
}

std::optional<CollarAnchors> CollarAnchorCache::fromBundle(std::filesystem::path const& resources, std::string_view subdirectory)
{
    auto url = resources / subdirectory / "collar.json";
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(url, ignored))
        return std::nullopt;
    return load(url);
}

}
