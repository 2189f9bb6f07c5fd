#include "shared/Drawing/StillFrames.hpp"

#include "shared/Drawing/ImageFile.hpp"

#include <string>

namespace PawletShared::StillFrames {

std::optional<std::filesystem::path> url(Skin skin, Clip clip, std::filesystem::path const& resources, std::string_view directory)
{
    auto path = resources / directory / rawValue(skin) / (std::string(rawValue(clip)) + ".png");
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored))
        return std::nullopt;
    return path;
}

std::optional<QImage> image(Skin skin, Clip clip, std::filesystem::path const& resources)
{
    auto path = url(skin, clip, resources, "Stills");
    if (!path)
        return std::nullopt;
    QImage decoded = ImageFile::read(*path);
    if (decoded.isNull())
        return std::nullopt;
    return decoded;
}

}
