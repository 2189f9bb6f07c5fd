#pragma once

#include <string>

namespace PupnikCore::StatusText {

// One usage bar of the menu.
struct QuotaBar {
    // "claude", "codex" or "process".
    std::string source;
    // How full the bar is drawn, 0 to 1.
    double fraction { 0 };
    std::string text;

    bool operator==(QuotaBar const&) const = default;
};

}
