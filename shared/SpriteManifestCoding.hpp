#pragma once

#include "shared/DecodingError.hpp"
#include "shared/StrictJSON.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The one manifest.json format, shared by the manifest records of the shared views and of the
// application, which are separate types with the same fields.
namespace PawletShared::SpriteManifestCoding {

inline constexpr size_t maxFileBytes = 1 << 20;
// The numbers come from a file and size what readers load: a clip of more frames, or a box or scale
// beyond these, is not a sprite directory we can draw, and the manifest does not decode.
inline constexpr int64_t maxFrames = 1000;
inline constexpr double maxBoxSide = 4096;
inline constexpr double maxLogicalHeight = 4096;
inline constexpr double maxScale = 16;

namespace Detail {

inline double size(StrictJSON::Value const& parent, std::string_view key, std::string_view path, double limit)
{
    double value = StrictJSON::number(parent, key, path);
    if (value < 0 || value > limit)
        throw DecodingError(StrictJSON::join(path, key) + ": out of range");
    return value;
}

}

// Every key required with its JSON type, unknown keys ignored, no defaults: throws DecodingError.
template<class Manifest>
Manifest decode(std::string_view bytes)
{
    using StrictJSON::Value;
    Value root = StrictJSON::parseObject(bytes);
    Manifest manifest;
    manifest.version = StrictJSON::integer(root, "version", "");
    Value const& box = StrictJSON::object(root, "box", "");
    manifest.box.w = Detail::size(box, "w", "box", maxBoxSide);
    manifest.box.h = Detail::size(box, "h", "box", maxBoxSide);
    manifest.logicalHeight = Detail::size(root, "logicalHeight", "", maxLogicalHeight);
    manifest.scale = Detail::size(root, "scale", "", maxScale);
    manifest.skins = StrictJSON::strings(root, "skins", "");
    Value const& states = StrictJSON::object(root, "states", "");
    for (auto const& [name, entry] : states.items()) {
        std::string path = "states." + name;
        typename Manifest::StateInfo info;
        info.frames = StrictJSON::integer(entry, "frames", path);
        if (info.frames > maxFrames)
            throw DecodingError(path + ".frames: out of range");
        info.fps = StrictJSON::number(entry, "fps", path);
        info.period = StrictJSON::number(entry, "period", path);
        manifest.states.emplace(name, info);
    }
    manifest.facing = StrictJSON::string(root, "facing", "");
    return manifest;
}

template<class Manifest>
StrictJSON::Value encode(Manifest const& manifest)
{
    using StrictJSON::Value;
    Value states = Value::object();
    for (auto const& [name, info] : manifest.states)
        states[name] = Value { { "frames", info.frames }, { "fps", info.fps }, { "period", info.period } };
    return Value {
        { "version", manifest.version },
        { "box", Value { { "w", manifest.box.w }, { "h", manifest.box.h } } },
        { "logicalHeight", manifest.logicalHeight },
        { "scale", manifest.scale },
        { "skins", manifest.skins },
        { "states", std::move(states) },
        { "facing", manifest.facing },
    };
}

// Frames per clip name, the box's width over its height: what both records answer the same way.
template<class Manifest, class Clip>
typename Manifest::StateInfo timing(Manifest const& manifest, Clip clip)
{
    std::string key(rawValue(clip));
    if (auto found = manifest.states.find(key); found != manifest.states.end())
        return found->second;
    auto const& builtIn = Manifest::builtIn().states;
    if (auto found = builtIn.find(key); found != builtIn.end())
        return found->second;
    return { 1, 1.0, 1.0 };
}

template<class Manifest>
double aspect(Manifest const& manifest)
{
    // Also false for a height that is not a number.
    if (manifest.box.h > 0)
        return manifest.box.w / manifest.box.h;
    return 1.35;
}

}
