#include "platform/Desktop/Screens.hpp"

#include <cmath>

namespace Platform {

QRect Screens::toTopLeft(ScreenRect const& rect) const
{
    double const top = flipLine() - rect.maxY();
    return QRect(int(std::lround(rect.x)), int(std::lround(top)), int(std::lround(rect.width)), int(std::lround(rect.height)));
}

ScreenRect Screens::fromTopLeft(QRect const& rect) const
{
    // QRect's bottom() is inclusive; the flip needs the exclusive edge y + height.
    double const bottomEdge = double(rect.y()) + rect.height();
    return { double(rect.x()), flipLine() - bottomEdge, double(rect.width()), double(rect.height()) };
}

}
