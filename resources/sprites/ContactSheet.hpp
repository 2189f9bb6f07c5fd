#pragma once

#include <QImage>

#include <filesystem>
#include <string_view>

namespace SpriteArt {

// Every frame of every clip of one skin on one picture, at the size the pet is smallest on
// screen, one clip after the other in rows, for checking the drawing by eye.
class ContactSheet final {
public:
    // Only the clip named `onlyClip` when it is not empty; `withCollar` draws the collar anchors.
    static QImage of(std::string_view skin, int cellHeight, std::string_view onlyClip = {}, bool withCollar = false);
    // One sheet per skin, "<skin>.png" in the folder; throws std::runtime_error on a failed write.
    static void writeAll(std::filesystem::path const& folder, int cellHeight, std::string_view onlyClip, bool withCollar,
        unsigned threads);

    static constexpr int columns = 16;
};

}
