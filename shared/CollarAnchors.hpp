#pragma once

#include "PawletKit/JSON.hpp"
#include "shared/Clip.hpp"
#include "shared/CollarAnchor.hpp"
#include "shared/Skin.hpp"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PawletShared {

// collar.json of a sprite directory: the collar's place in every frame of every skin and clip.
struct CollarAnchors {
    // Frame size the anchors were measured on.
    struct Size {
        double w { 0 };
        double h { 0 };

        bool operator==(Size const&) const = default;
    };

    // The tag disc, the same in every frame; it turns with the band.
    struct Tag {
        // -1 above the band, 1 below, 0 on its centre line.
        double side { 0 };
        double r { 0 };
        // Fraction of the band's length from its left end.
        double along { 0 };

        bool operator==(Tag const&) const = default;
    };

    using ClipAnchors = std::map<std::string, std::vector<CollarAnchor>>;

    static constexpr size_t maxFileBytes = 16 << 20;

    int64_t version { 1 };
    Size pixelSize;
    Tag tag;
    std::vector<std::string> skins;
    // Skin raw value to clip raw value to one anchor per frame.
    std::map<std::string, ClipAnchors> anchors;

    // The anchor of a frame; a list shorter than the clip repeats from its start, and negative frame
    // numbers take the first anchor. Nothing when the skin or clip is not named or its list is empty.
    std::optional<CollarAnchor> anchor(Skin skin, Clip clip, int64_t frame) const;
    // The same by folder names, for clips the shared views do not know.
    std::optional<CollarAnchor> anchor(std::string_view skin, std::string_view clip, int64_t frame) const;

    // Throws std::system_error when the file cannot be read and DecodingError when one key anywhere
    // is missing or of the wrong type. Not cached: CollarAnchorCache keeps what it loads.
    static CollarAnchors load(std::filesystem::path const& url);
    // Throws DecodingError.
    static CollarAnchors decode(std::string_view bytes);
    PawletKit::JSON::Value jsonObject() const;

    bool operator==(CollarAnchors const&) const = default;
};

}
