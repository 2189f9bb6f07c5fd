#include "platform/Desktop/FakeScreens.hpp"

namespace Platform {

std::optional<Screens::Screen> FakeScreens::main() const
{
    if (m_screens.empty())
        return std::nullopt;
    return m_screens[m_mainIndex < m_screens.size() ? m_mainIndex : 0];
}

std::optional<QImage> FakeScreens::grab(ScreenRect const& area) const
{
    if (m_screens.empty() || area.width <= 0 || area.height <= 0)
        return std::nullopt;
    QImage image(int(area.width), int(area.height), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::gray);
    return image;
}

void FakeScreens::change(std::vector<Screen> screens)
{
    m_screens = std::move(screens);
    if (m_onChange)
        m_onChange();
}

}
