#pragma once

namespace Platform {

// A rectangle in global screen points with the origin at the bottom left of the primary screen, y up.
struct ScreenRect {
    double x { 0 };
    double y { 0 };
    double width { 0 };
    double height { 0 };

    double minX() const { return x; }
    double maxX() const { return x + width; }
    double minY() const { return y; }
    double maxY() const { return y + height; }
    double midX() const { return x + width / 2; }
    double midY() const { return y + height / 2; }

    // Left and bottom edges inclusive, right and top exclusive; an empty rectangle contains nothing.
    bool contains(double px, double py) const { return px >= minX() && px < maxX() && py >= minY() && py < maxY(); }
    bool intersects(ScreenRect const& other) const
    {
        return width > 0 && height > 0 && other.width > 0 && other.height > 0 && minX() < other.maxX() && other.minX() < maxX()
            && minY() < other.maxY() && other.minY() < maxY();
    }

    bool operator==(ScreenRect const&) const = default;
};

}
