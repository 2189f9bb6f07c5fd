#pragma once

#include <string_view>

namespace Platform::Log {

// One diagnostic line on standard error, "[Pupnik] " + text, written in a single call so lines of
// several threads never interleave. Texts begin with a lower-case topic: "cloud: ...", "sprites: ...".
void line(std::string_view text);

}
