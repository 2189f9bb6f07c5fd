#pragma once

#include "shared/Clip.hpp"
#include "shared/Skin.hpp"

#include <QImage>
#include <filesystem>
#include <optional>
#include <string_view>

namespace PawletShared::StillFrames {

// <resources>/<directory>/<skin>/<clip>.png when that file exists.
std::optional<std::filesystem::path> url(Skin skin, Clip clip, std::filesystem::path const& resources, std::string_view directory);
// The still of a skin and clip from the "Stills" folder of a resource folder; nothing when it is
// missing or does not decode.
std::optional<QImage> image(Skin skin, Clip clip, std::filesystem::path const& resources);

}
