#pragma once

#include "PawletKit/JSON.hpp"
#include "shared/Clip.hpp"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace PawletShared {

// manifest.json of a sprite directory: the frame box, and frames and rate of every clip. Readers act
// on the states and the box; the other fields are carried.
struct SpriteManifest {
    struct Box {
        double w { 0 };
        double h { 0 };

        bool operator==(Box const&) const = default;
    };

    struct StateInfo {
        // Frame files of the clip in each skin folder.
        int64_t frames { 0 };
        // Frames per second at playback rate 1.
        double fps { 0 };
        // Seconds of one pass through the clip.
        double period { 0 };

        bool operator==(StateInfo const&) const = default;
    };

    int64_t version { 1 };
    Box box;
    double logicalHeight { 0 };
    double scale { 0 };
    std::vector<std::string> skins;
    // Keyed by clip raw value; other keys are kept and never looked up.
    std::map<std::string, StateInfo> states;
    std::string facing;

    // What a directory without a usable manifest is drawn with.
    static SpriteManifest const& builtIn();

    // Throws std::system_error when the file cannot be read and DecodingError when it is no manifest;
    // never falls back by itself.
    static SpriteManifest load(std::filesystem::path const& url);
    // Throws DecodingError.
    static SpriteManifest decode(std::string_view bytes);
    PawletKit::JSON::Value jsonObject() const;

    // The manifest's entry for the clip, else the built-in one, else one frame at 1 fps.
    StateInfo timing(Clip clip) const;
    // Width over height of the box; 1.35 when the height is not above 0.
    double aspect() const;

    bool operator==(SpriteManifest const&) const = default;
};

}
