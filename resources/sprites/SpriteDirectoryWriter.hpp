#pragma once

#include "ClipSpec.hpp"
#include "DogFigure.hpp"
#include "SkinRenderer.hpp"

#include <QImage>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <string_view>

namespace SpriteArt {

// Writes the whole sprite directory: every frame of every skin and clip, the stills, the manifest
// and the collar anchors. It is built beside the target and swapped in whole, so a reader never
// finds half a directory and no file of an older one survives.
class SpriteDirectoryWriter final {
public:
    // Throws std::runtime_error when a file cannot be written.
    static void write(std::filesystem::path const& root, unsigned threads);

    static DogFigure figure(SkinRenderer const& renderer, ClipSpec const& clip, int frame);
    static QImage frame(std::string_view skin, ClipSpec const& clip, int frame);
    // The frame a clip shows as its still picture.
    static int stillFrame(ClipSpec const& clip);
    static nlohmann::ordered_json manifest();
    static nlohmann::ordered_json collar();

    // Runs job(0) .. job(count - 1) on up to `threads` threads.
    static void forEach(int count, unsigned threads, std::function<void(int)> const& job);
};

}
