#pragma once

#include <string_view>

namespace Platform::Log {

// One diagnostic line on standard error, "[Pupnik] " + text, written in a single call so lines of
// several threads never interleave. Texts begin with a lower-case topic: "cloud: ...", "sprites: ...".
// Paths, names and messages from outside go in as they are: control characters, C1 ones included,
// are written as escapes ("\n", "\r", "\t", else "\u{1B}"), so no value can end the line early or
// move a terminal about.
void line(std::string_view text);

}
