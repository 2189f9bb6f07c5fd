#include "shared/Skin.hpp"

namespace PawletShared {

std::string_view rawValue(Skin skin)
{
    switch (skin) {
    case Skin::soft:
        return "soft";
    case Skin::pixel:
        return "pixel";
    case Skin::ink:
        return "ink";
    case Skin::geo:
        return "geo";
    }
    return "soft";
}

std::optional<Skin> skinFromRawValue(std::string_view text)
{
    for (Skin skin : allSkins)
        if (rawValue(skin) == text)
            return skin;
    return std::nullopt;
}

std::string localizationKey(Skin skin)
{
    return "skin." + std::string(rawValue(skin));
}

}
