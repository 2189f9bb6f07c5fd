#include "shared/SpriteManifest.hpp"

#include "shared/ResourceFile.hpp"
#include "shared/SpriteManifestCoding.hpp"

namespace PawletShared {

SpriteManifest const& SpriteManifest::builtIn()
{
    static SpriteManifest const manifest {
        .version = 1,
        .box = { 135, 100 },
        .logicalHeight = 120,
        .scale = 2,
        .skins = { "soft", "pixel", "ink", "geo" },
        .states = {
            { "run", { 10, 24, 0.42 } },
            { "walk", { 12, 16, 0.75 } },
            { "stroll", { 31, 12, 2.6 } },
            { "idle", { 58, 12, 4.8 } },
            { "hungry", { 24, 12, 2.0 } },
            { "happy", { 60, 24, 2.5 } },
            { "poop", { 31, 12, 2.6 } },
        },
        .facing = "right",
    };
    return manifest;
}

SpriteManifest SpriteManifest::load(std::filesystem::path const& url)
{
    return decode(ResourceFile::read(url, SpriteManifestCoding::maxFileBytes));
}

SpriteManifest SpriteManifest::decode(std::string_view bytes)
{
    return SpriteManifestCoding::decode<SpriteManifest>(bytes);
}

PawletKit::JSON::Value SpriteManifest::jsonObject() const
{
    return SpriteManifestCoding::encode(*this);
}

SpriteManifest::StateInfo SpriteManifest::timing(Clip clip) const
{
    return SpriteManifestCoding::timing(*this, clip);
}

double SpriteManifest::aspect() const
{
    return SpriteManifestCoding::aspect(*this);
}

}
