#include "app-core/SpriteManifest.hpp"

#include "shared/ResourceFile.hpp"
#include "shared/SpriteManifestCoding.hpp"

namespace PupnikCore {

namespace Coding = PawletShared::SpriteManifestCoding;

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
            { "walk", { 18, 24, 0.75 } },
            { "stroll", { 31, 24, 1.3 } },
            { "idle", { 58, 24, 2.4 } },
            { "hungry", { 48, 24, 2.0 } },
            { "happy", { 12, 24, 0.5 } },
            { "poop", { 62, 24, 2.6 } },
            { "sick", { 36, 12, 3.0 } },
        },
        .facing = "right",
    };
    return manifest;
}

SpriteManifest SpriteManifest::load(std::filesystem::path const& url)
{
    return decode(PawletShared::ResourceFile::read(url, Coding::maxFileBytes));
}

SpriteManifest SpriteManifest::decode(std::string_view bytes)
{
    return Coding::decode<SpriteManifest>(bytes);
}

PawletKit::JSON::Value SpriteManifest::jsonObject() const
{
    return Coding::encode(*this);
}

SpriteManifest::StateInfo SpriteManifest::timing(Clip clip) const
{
    return Coding::timing(*this, clip);
}

double SpriteManifest::aspect() const
{
    return Coding::aspect(*this);
}

}
