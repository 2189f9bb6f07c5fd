#pragma once

#include <QImage>
#include <QRect>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace Pupnik::WindowCapture {

// One of the application's windows on screen.
struct Window {
    QWidget* widget { nullptr };
    uint64_t id { 0 };
    // Global, top-left origin.
    QRect bounds;
    // 101 for a menu or popup, 3 for a window kept above the others, else 0.
    int layer { 0 };
};

// The application's visible top-level windows larger than 1 × 1, front first.
std::vector<Window> onScreenWindows();
// Exactly those windows, each drawn at its place within their union, back to front; nothing when
// one of them cannot be drawn.
std::optional<QImage> image(std::vector<Window> const& windows);
// Captures the application's on-screen windows (the open menu, a popover, the pet) into
// label + "-menu.png" in the folder, logging each window it takes.
void write(std::filesystem::path const& directory, std::string const& label);

}
