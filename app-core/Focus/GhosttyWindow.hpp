#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace PupnikCore {

// One Ghostty window as the window system reports it.
struct GhosttyWindow {
    // Position in the list the jumper read, from 0; the jumper raises the window by it.
    int64_t index { 0 };
    std::optional<std::string> title;
    // The represented document: a path or a "file://" URL.
    std::optional<std::string> documentURL;
    bool isMinimized { false };

    // The document as a sanitised directory path.
    std::optional<std::string> documentPath() const;

    bool operator==(GhosttyWindow const&) const = default;
};

}
