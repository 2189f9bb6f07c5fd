#pragma once

#include <QImage>

#include <filesystem>

namespace SpriteArt {

// The application's icon for menus and launchers: the pet sitting still on a round tile.
class AppIcon final {
public:
    static constexpr int size = 256;

    static QImage draw();
    // Throws std::runtime_error when the file cannot be written.
    static void write(std::filesystem::path const& file);
};

}
