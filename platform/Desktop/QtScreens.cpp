#include "platform/Desktop/QtScreens.hpp"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace Platform {

QtScreens::QtScreens(QObject* parent)
    : QObject(parent)
{
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        changed();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this](QScreen*) { changed(); });
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this](QScreen*) { changed(); });
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
}

void QtScreens::watch(QScreen* screen)
{
    connect(screen, &QScreen::geometryChanged, this, [this](QRect const&) { changed(); });
    connect(screen, &QScreen::availableGeometryChanged, this, [this](QRect const&) { changed(); });
}

void QtScreens::changed()
{
    if (m_onChange)
        m_onChange();
}

double QtScreens::flipLine() const
{
    QScreen const* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return 0;
    QRect const geometry = primary->geometry();
    return double(geometry.y()) + geometry.height();
}

std::vector<Screens::Screen> QtScreens::all() const
{
    std::vector<Screen> screens;
    QScreen const* primary = QGuiApplication::primaryScreen();
    if (primary)
        screens.push_back({ fromTopLeft(primary->geometry()), fromTopLeft(primary->availableGeometry()) });
    for (QScreen const* screen : QGuiApplication::screens())
        if (screen != primary)
            screens.push_back({ fromTopLeft(screen->geometry()), fromTopLeft(screen->availableGeometry()) });
    return screens;
}

std::optional<Screens::Screen> QtScreens::main() const
{
    auto screens = all();
    if (screens.empty())
        return std::nullopt;
    return screens.front();
}

void QtScreens::setOnChange(std::function<void()> handler)
{
    m_onChange = std::move(handler);
}

std::optional<QImage> QtScreens::grab(ScreenRect const& area) const
{
    QRect const wanted = toTopLeft(area);
    QScreen* screen = QGuiApplication::screenAt(wanted.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    // grabWindow(0) takes coordinates relative to the screen's own origin.
    QRect const local = wanted.translated(-screen->geometry().topLeft());
    QPixmap pixmap = screen->grabWindow(0, local.x(), local.y(), local.width(), local.height());
    if (pixmap.isNull())
        return std::nullopt;
    return pixmap.toImage();
}

}
