#include "ClipSpec.hpp"

#include <stdexcept>
#include <string>

namespace SpriteArt {

double ClipSpec::groundSpeed() const
{
    return speed * frameHeight / referenceHeightPoints;
}

ClipSpec const& clipNamed(std::string_view name)
{
    for (auto const& clip : allClips) {
        if (clip.name == name)
            return clip;
    }
    throw std::invalid_argument("no clip named " + std::string(name));
}

}
