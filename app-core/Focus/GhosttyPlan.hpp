#pragma once

#include "app-core/Focus/GhosttyDecision.hpp"
#include "app-core/Focus/GhosttyWindow.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Which Ghostty window runs a session, and the pure pieces of the title probe that tells windows apart
// when nothing else does: the probe writes a unique title through the session's terminal and looks
// for the window that shows it.
namespace PupnikCore::GhosttyPlan {

// U+1F514; programs put it in front of a title to flag a bell, and it is not written back after a probe.
inline constexpr std::string_view bell = "\xF0\x9F\x94\x94";
inline constexpr size_t maxTitleScalars = 256;

struct ProbeMatch {
    // Position in the window list read before the probe.
    size_t position { 0 };
    int64_t index { 0 };
    // The title before the probe without its leading bells; empty when there was none.
    std::string previousTitle;

    bool operator==(ProbeMatch const&) const = default;
};

// Rules in order: the only window (minimised ones count only when all are), the one window showing
// the directory as its document ("cwd"), the one title holding the terminal name ("tty-in-title"),
// the one title holding the directory's name in any case ("cwd-basename-in-title"), else a probe on a
// valid terminal, else only activation.
GhosttyDecision decide(std::span<GhosttyWindow const> windows, std::optional<std::string_view> tty, std::optional<std::string_view> cwd);

// "pawlet-" and eight lower-case hexadecimal digits of the next random number.
std::string probeToken(std::function<uint32_t()> const& random);
// The escape that sets a window title (OSC 2, ended by ST), control characters removed, at most 256
// scalars of the title.
std::string titleSequence(std::string_view title);
bool titleContains(std::optional<std::string_view> title, std::string_view token);
// The first window, by position, whose title after the probe holds the token.
std::optional<ProbeMatch> matchProbe(std::span<GhosttyWindow const> windows, std::span<std::optional<std::string> const> titles,
    std::string_view token);
std::string stripBell(std::string_view text);
// Removes U+0000 to U+001F and U+007F; invalid UTF-8 is replaced first so nothing raw reaches a terminal.
std::string stripControlCharacters(std::string_view text);

}
