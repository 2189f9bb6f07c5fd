#include "app-core/Focus/GhosttyPlan.hpp"

#include "app-core/Focus/TerminalPaths.hpp"

#include "PawletKit/ProcInfo.hpp"
#include "PawletKit/Text.hpp"

#include <algorithm>
#include <cstdio>
#include <utf8proc.h>

namespace PupnikCore::GhosttyPlan {

namespace {

// The one window among the candidates that passes the test; nothing for none or several.
template<typename Test>
std::optional<int64_t> uniqueMatch(std::vector<GhosttyWindow const*> const& candidates, Test test)
{
    std::optional<int64_t> found;
    for (auto const* window : candidates) {
        if (!test(*window))
            continue;
        if (found)
            return std::nullopt;
        found = window->index;
    }
    return found;
}

bool isASCIIAlphanumeric(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Linux numbers its pseudo-terminals without padding, so "pts/4" is also the start of "pts/41": a
// title names the terminal only where no further letter or digit follows.
bool namesTerminal(std::string_view title, std::string_view tty)
{
    for (size_t at = title.find(tty); at != std::string_view::npos; at = title.find(tty, at + 1)) {
        size_t end = at + tty.size();
        if (end == title.size() || !isASCIIAlphanumeric(title[end]))
            return true;
    }
    return false;
}

std::string_view titleOf(GhosttyWindow const& window)
{
    return window.title ? std::string_view(*window.title) : std::string_view();
}

}

GhosttyDecision decide(std::span<GhosttyWindow const> windows, std::optional<std::string_view> tty, std::optional<std::string_view> cwd)
{
    std::vector<GhosttyWindow const*> candidates;
    for (auto const& window : windows)
        if (!window.isMinimized)
            candidates.push_back(&window);
    if (candidates.empty())
        for (auto const& window : windows)
            candidates.push_back(&window);

    if (candidates.empty())
        return GhosttyDecision::ActivateOnly {};
    if (candidates.size() == 1)
        return GhosttyDecision::Raise { candidates.front()->index, "only-window" };

    auto directory = TerminalPaths::sanitizeCwd(cwd);
    // Which candidates show the directory as their document; the probe narrows to them as well.
    std::vector<bool> inDirectory(candidates.size(), false);
    if (directory)
        for (size_t i = 0; i < candidates.size(); ++i)
            inDirectory[i] = candidates[i]->documentPath() == directory;
    if (std::count(inDirectory.begin(), inDirectory.end(), true) == 1) {
        size_t only = static_cast<size_t>(std::find(inDirectory.begin(), inDirectory.end(), true) - inDirectory.begin());
        return GhosttyDecision::Raise { candidates[only]->index, "cwd" };
    }

    bool const ttyValid = tty && PawletKit::ProcInfo::isValidTTYName(*tty);
    if (ttyValid) {
        auto found = uniqueMatch(candidates, [&](GhosttyWindow const& window) {
            return namesTerminal(titleOf(window), *tty);
        });
        if (found)
            return GhosttyDecision::Raise { *found, "tty-in-title" };
    }

    if (auto name = TerminalPaths::basename(directory)) {
        std::string const folded = PawletKit::Text::caseFolded(*name);
        auto found = uniqueMatch(candidates, [&](GhosttyWindow const& window) {
            return PawletKit::Text::caseFolded(titleOf(window)).find(folded) != std::string::npos;
        });
        if (found)
            return GhosttyDecision::Raise { *found, "cwd-basename-in-title" };
    }

    if (ttyValid) {
        bool const anyInDirectory = std::find(inDirectory.begin(), inDirectory.end(), true) != inDirectory.end();
        std::vector<int64_t> indices;
        for (size_t i = 0; i < candidates.size(); ++i)
            if (!anyInDirectory || inDirectory[i])
                indices.push_back(candidates[i]->index);
        return GhosttyDecision::Probe { std::string(*tty), std::move(indices) };
    }
    return GhosttyDecision::ActivateOnly {};
}

std::string probeToken(std::function<uint32_t()> const& random)
{
    uint32_t number = random ? random() : 0;
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
    return std::string("pawlet-") + digits;
}

std::string stripControlCharacters(std::string_view text)
{
    std::string valid = PawletKit::Text::replacingInvalidUTF8(text);
    std::string result;
    result.reserve(valid.size());
    for (char c : valid) {
        auto byte = static_cast<unsigned char>(c);
        // Continuation and lead bytes of longer sequences are all 0x80 or above.
        if (byte < 0x20 || byte == 0x7F)
            continue;
        result += c;
    }
    return result;
}

std::string titleSequence(std::string_view title)
{
    std::string clean = stripControlCharacters(title);
    auto const* bytes = reinterpret_cast<utf8proc_uint8_t const*>(clean.data());
    utf8proc_ssize_t const length = static_cast<utf8proc_ssize_t>(clean.size());
    utf8proc_ssize_t position = 0;
    size_t scalars = 0;
    while (position < length && scalars < maxTitleScalars) {
        utf8proc_int32_t codepoint = 0;
        utf8proc_ssize_t step = utf8proc_iterate(bytes + position, length - position, &codepoint);
        if (step <= 0)
            break;
        position += step;
        ++scalars;
    }
    return "\x1B]2;" + clean.substr(0, static_cast<size_t>(position)) + "\x1B\\";
}

bool titleContains(std::optional<std::string_view> title, std::string_view token)
{
    return title && !token.empty() && title->find(token) != std::string_view::npos;
}

std::optional<ProbeMatch> matchProbe(std::span<GhosttyWindow const> windows, std::span<std::optional<std::string> const> titles,
    std::string_view token)
{
    for (size_t position = 0; position < windows.size() && position < titles.size(); ++position) {
        auto const& title = titles[position];
        if (!title || !titleContains(*title, token))
            continue;
        return ProbeMatch { position, windows[position].index, stripBell(titleOf(windows[position])) };
    }
    return std::nullopt;
}

std::string stripBell(std::string_view text)
{
    while (text.starts_with(bell)) {
        text.remove_prefix(bell.size());
        while (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
    }
    return std::string(text);
}

}
