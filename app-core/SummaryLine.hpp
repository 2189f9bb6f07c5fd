#pragma once

#include <cstdint>
#include <string>

namespace PupnikCore {

// One line of a permission request's summary as the approval popover draws it: the text and the
// colour role a unified diff gives it.
struct SummaryLine {
    enum class Tone : uint8_t {
        plain,
        // File headers and hunk headers.
        secondary,
        added,
        removed,
    };

    std::string text;
    Tone tone { Tone::plain };

    bool operator==(SummaryLine const&) const = default;
};

}
