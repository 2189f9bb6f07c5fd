#include "AppIcon.hpp"

#include <gtest/gtest.h>

using SpriteArt::AppIcon;

TEST(AppIcon, IsTheDogOnARoundedTile)
{
    QImage const icon = AppIcon::draw();
    ASSERT_EQ(icon.size(), QSize(AppIcon::size, AppIcon::size));
    // Rounded corners stay clear, so panels show through them.
    for (QPoint corner : { QPoint(2, 2), QPoint(253, 2), QPoint(2, 253), QPoint(253, 253) })
        EXPECT_EQ(qAlpha(icon.pixel(corner)), 0) << corner.x() << "," << corner.y();
    // The dog's warm coat covers a good part of the tile, whose own colours are all cool.
    int warm = 0;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            QColor const colour = QColor::fromRgba(icon.pixel(x, y));
            if (colour.alpha() == 255 && colour.red() > colour.blue() + 40)
                ++warm;
        }
    }
    EXPECT_GT(warm, icon.width() * icon.height() / 8);
}
