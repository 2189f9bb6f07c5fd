#include "Pupnik/WindowCapture.hpp"

#include "PawletKit/AtomicFile.hpp"
#include "app-core/DebugText.hpp"
#include "platform/Desktop/X11Stacking.hpp"
#include "platform/Log.hpp"

#include <QApplication>
#include <QBuffer>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace Pupnik::WindowCapture {

namespace {

int layerOf(QWidget const& widget)
{
    auto const flags = widget.windowFlags();
    if ((flags & Qt::WindowType_Mask) == Qt::Popup)
        return 101;
    return flags.testFlag(Qt::WindowStaysOnTopHint) ? 3 : 0;
}

// A window whose frames live on the X server keeps no picture in Qt, so asking it to paint itself
// gives nothing drawn; what the screen shows where it stands is its picture.
QPixmap pixelsOf(QWidget& widget, QRect const& bounds)
{
    if (widget.testAttribute(Qt::WA_PaintOnScreen))
        if (auto* screen = widget.screen())
            return screen->grabWindow(0, bounds.x() - screen->geometry().x(), bounds.y() - screen->geometry().y(), bounds.width(), bounds.height());
    return widget.grab();
}

}

std::vector<Window> onScreenWindows()
{
    std::vector<Window> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible() || widget->isMinimized() || !widget->testAttribute(Qt::WA_WState_Created))
            continue;
        QRect const bounds = widget->geometry();
        if (bounds.width() <= 1 || bounds.height() <= 1)
            continue;
        windows.push_back(Window { widget, uint64_t(widget->winId()), bounds, layerOf(*widget) });
    }
    std::vector<uint64_t> ids;
    for (auto const& window : windows)
        ids.push_back(window.id);
    if (auto const order = Platform::X11Stacking::frontToBack(ids)) {
        std::ranges::stable_sort(windows, [&](Window const& a, Window const& b) {
            return std::ranges::find(*order, a.id) < std::ranges::find(*order, b.id);
        });
    } else {
        // Without the server's stacking, menus and popups lie above the rest.
        std::ranges::stable_sort(windows, [](Window const& a, Window const& b) { return a.layer > b.layer; });
    }
    return windows;
}

std::optional<QImage> image(std::vector<Window> const& windows)
{
    QRect area;
    qreal scale = 1;
    for (auto const& window : windows) {
        area = area.united(window.bounds);
        scale = std::max(scale, window.widget->devicePixelRatioF());
    }
    if (windows.empty() || area.isEmpty())
        return std::nullopt;
    QImage canvas((QSizeF(area.size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return std::nullopt;
    canvas.setDevicePixelRatio(scale);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        QPixmap const pixels = pixelsOf(*it->widget, it->bounds);
        if (pixels.isNull())
            return std::nullopt;
        painter.drawPixmap(QRect(it->bounds.topLeft() - area.topLeft(), it->bounds.size()), pixels);
    }
    painter.end();
    return canvas;
}

void write(std::filesystem::path const& directory, std::string const& label)
{
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    auto const windows = onScreenWindows();
    for (auto const& window : windows) {
        using PupnikCore::DebugText::number;
        auto const& b = window.bounds;
        Platform::Log::line("menu snapshot: window id=" + std::to_string(window.id) + " bounds=" + number(b.x()) + "," + number(b.y()) + ","
            + number(b.width()) + "," + number(b.height()) + " layer=" + std::to_string(window.layer));
    }
    if (windows.empty()) {
        Platform::Log::line("menu snapshot: this process owns no on-screen window");
        return;
    }
    auto const captured = image(windows);
    if (!captured) {
        Platform::Log::line("menu snapshot: capture failed");
        return;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!captured->save(&buffer, "PNG"))
        return;
    try {
        PawletKit::AtomicFile::write(directory / (label + "-menu.png"), std::string_view(bytes.constData(), size_t(bytes.size())), 0644);
    } catch (std::exception const&) {
        // A debug capture that cannot be written is simply missing.
    }
}

}
