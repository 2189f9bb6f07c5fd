#pragma once

#include "shared/Clip.hpp"
#include "shared/CollarAnchors.hpp"
#include "shared/Drawing/ClipFrames.hpp"
#include "shared/Skin.hpp"
#include "shared/SpriteManifest.hpp"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace PawletShared {

// The reader of one sprite directory: its manifest (or the built-in one), the skins it holds, its
// collar anchors, and the decoded frames of at most two clips at a time. Frame lookups may come from
// any thread; they are served one after another under one lock, decoding included.
class SpriteLibrary final {
public:
    // Where "missing sprite frame" lines go; standard error unless a test listens.
    using LogSink = std::function<void(std::string_view)>;

    explicit SpriteLibrary(std::filesystem::path root, LogSink log = {});
    SpriteLibrary(SpriteLibrary const&) = delete;
    SpriteLibrary& operator=(SpriteLibrary const&) = delete;

    // The library of the folder that holds "manifest.json" in a subdirectory of a resource folder;
    // nothing when there is no such file.
    static std::unique_ptr<SpriteLibrary> fromBundle(std::filesystem::path const& resources, std::string_view subdirectory, LogSink log = {});
    static std::optional<CollarAnchors> collarAnchors(std::filesystem::path const& resources, std::string_view subdirectory);

    std::filesystem::path const& root() const { return m_root; }
    SpriteManifest const& manifest() const { return m_manifest; }
    // In the order soft, pixel, ink, geo.
    std::vector<Skin> const& availableSkins() const { return m_availableSkins; }
    std::optional<CollarAnchors> const& collarAnchors() const { return m_collarAnchors; }

    // The skin itself when the directory has it, else the first skin it has, else the skin itself.
    Skin resolvedSkin(Skin skin) const;
    // Always a value; frames that cannot be read are left out and each such path is logged once for
    // the life of the library.
    ClipFrames frames(Skin skin, Clip clip);
    // root/<skin>/<clip>/NN.png, with the skin as given and without looking at the disk.
    std::filesystem::path frameURL(Skin skin, Clip clip, int64_t index) const;

    // Clips held decoded at once; the one loaded first goes first.
    static constexpr size_t cacheCapacity = 2;

private:
    std::filesystem::path const m_root;
    SpriteManifest m_manifest;
    std::vector<Skin> m_availableSkins;
    std::optional<CollarAnchors> m_collarAnchors;
    LogSink m_log;

    std::mutex m_lock;
    std::map<std::string, ClipFrames> m_cache;
    std::deque<std::string> m_cacheOrder;
    std::set<std::string> m_reportedMissing;
};

}
