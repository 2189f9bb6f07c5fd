#pragma once

#include "app-core/Focus/RunningAppInfo.hpp"
#include "app-core/Focus/TerminalJump.hpp"

#include <optional>
#include <string>

namespace PupnikCore {

// The application that owns a session, and the way into it.
struct FocusPlan {
    RunningAppInfo app;
    TerminalJump jump;

    FocusPlan(RunningAppInfo app, TerminalJump jump)
        : app(std::move(app))
        , jump(std::move(jump))
    {
    }
    // A script gives an AppleScript jump; no script only activates.
    FocusPlan(RunningAppInfo app, std::optional<std::string> script);

    bool operator==(FocusPlan const&) const = default;
};

}
