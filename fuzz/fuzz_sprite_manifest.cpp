// Decoding manifest.json (both records) and collar.json from arbitrary bytes either fails with a
// DecodingError or yields a record within its bounds that survives a round trip.
#include "app-core/SpriteManifest.hpp"
#include "shared/CollarAnchors.hpp"
#include "shared/DecodingError.hpp"
#include "shared/SpriteManifest.hpp"
#include "shared/SpriteManifestCoding.hpp"
#include "shared/SpriteMath.hpp"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

template<class Manifest>
std::optional<Manifest> decodeManifest(std::string_view bytes)
{
    try {
        return Manifest::decode(bytes);
    } catch (PawletShared::DecodingError const&) {
        return std::nullopt;
    }
}

template<class Manifest>
void checkManifest(Manifest const& manifest)
{
    namespace Coding = PawletShared::SpriteManifestCoding;
    auto inRange = [](double value, double limit) { return std::isfinite(value) && value >= 0 && value <= limit; };
    if (!inRange(manifest.box.w, Coding::maxBoxSide) || !inRange(manifest.box.h, Coding::maxBoxSide)
        || !inRange(manifest.scale, Coding::maxScale) || !inRange(manifest.logicalHeight, Coding::maxLogicalHeight))
        std::abort();
    for (auto const& [name, state] : manifest.states) {
        if (state.frames > Coding::maxFrames || !std::isfinite(state.fps) || !std::isfinite(state.period))
            std::abort();
        int64_t index = PawletShared::SpriteMath::frameIndex(state.frames, state.period * 1e300, state.fps, 1e300);
        if (index < 0 || (state.frames > 0 && index >= state.frames))
            std::abort();
    }
    (void)manifest.aspect();
    auto encoded = PawletKit::JSON::serialize(manifest.jsonObject());
    if (!encoded || !(Manifest::decode(*encoded) == manifest))
        std::abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<char const*>(data), size);

    auto shared = decodeManifest<PawletShared::SpriteManifest>(bytes);
    auto core = decodeManifest<PupnikCore::SpriteManifest>(bytes);
    // One file format: the two records accept exactly the same files.
    if (shared.has_value() != core.has_value())
        std::abort();
    if (shared)
        checkManifest(*shared);
    if (core)
        checkManifest(*core);

    try {
        auto collar = PawletShared::CollarAnchors::decode(bytes);
        for (auto const& [skin, clips] : collar.anchors)
            for (auto const& [clip, list] : clips)
                for (int64_t frame : { int64_t(-1), int64_t(0), int64_t(list.size()), INT64_MAX })
                    if (collar.anchor(skin, clip, frame).has_value() != !list.empty())
                        std::abort();
        auto encoded = PawletKit::JSON::serialize(collar.jsonObject());
        if (!encoded || !(PawletShared::CollarAnchors::decode(*encoded) == collar))
            std::abort();
    } catch (PawletShared::DecodingError const&) {
    }
    return 0;
}
