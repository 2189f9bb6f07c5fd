#pragma once

#include "shared/CollarColor.hpp"

#include <QImage>
#include <cmath>
#include <filesystem>
#include <string>

namespace DrawingTestSupport {

// Rendered pictures are kept in the build tree for a person to look at.
inline std::filesystem::path savePicture(QImage const& image, std::string const& name)
{
    auto folder = std::filesystem::path(PUPNIK_BUILD_DIR) / "test-pictures" / "shared-drawing";
    std::filesystem::create_directories(folder);
    auto path = folder / (name + ".png");
    image.save(QString::fromStdString(path.string()), "PNG");
    return path;
}

inline QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The pixel matches the colour (components 0 to 1) within a few steps of 255, at full opacity
// unless another alpha is asked for.
inline bool looksLike(QImage const& image, int x, int y, PawletShared::CollarColor const& color, int alpha = 255, int tolerance = 3)
{
    QColor pixel = QColor::fromRgba(image.pixel(x, y));
    auto near = [tolerance](int a, double b) { return std::abs(a - int(std::lround(b * 255))) <= tolerance; };
    return near(pixel.red(), color.red) && near(pixel.green(), color.green) && near(pixel.blue(), color.blue) && std::abs(pixel.alpha() - alpha) <= tolerance;
}

inline std::string describe(QImage const& image, int x, int y)
{
    QColor pixel = QColor::fromRgba(image.pixel(x, y));
    return "(" + std::to_string(x) + "," + std::to_string(y) + ") = rgba(" + std::to_string(pixel.red()) + "," + std::to_string(pixel.green()) + ","
        + std::to_string(pixel.blue()) + "," + std::to_string(pixel.alpha()) + ")";
}

}
