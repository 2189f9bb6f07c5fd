#pragma once

#include "PawletKit/JSON.hpp"
#include "app-core/Clip.hpp"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace PupnikCore {

// The application's reading of manifest.json: the same file and rules as the shared views' record,
// with built-in values of its own that include the sick clip.
struct SpriteManifest {
    struct Box {
        double w { 0 };
        double h { 0 };

        bool operator==(Box const&) const = default;
    };

    struct StateInfo {
        int64_t frames { 0 };
        double fps { 0 };
        double period { 0 };

        bool operator==(StateInfo const&) const = default;
    };

    int64_t version { 1 };
    Box box;
    double logicalHeight { 0 };
    double scale { 0 };
    std::vector<std::string> skins;
    std::map<std::string, StateInfo> states;
    std::string facing;

    static SpriteManifest const& builtIn();

    // Throws std::system_error when the file cannot be read and PawletShared::DecodingError when it is
    // no manifest; what a failure means is the caller's to decide.
    static SpriteManifest load(std::filesystem::path const& url);
    static SpriteManifest decode(std::string_view bytes);
    PawletKit::JSON::Value jsonObject() const;

    // The manifest's entry for the clip, else the built-in one (which names every clip).
    StateInfo timing(Clip clip) const;
    // Width over height of the box; 1.35 when the height is not above 0.
    double aspect() const;

    bool operator==(SpriteManifest const&) const = default;
};

}
