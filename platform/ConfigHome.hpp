#pragma once

#include "PawletKit/Environment.hpp"

#include <filesystem>

namespace Platform {

// The user's configuration folder: $XDG_CONFIG_HOME when it holds an absolute path (a relative one
// is ignored, as XDG asks), else ~/.config.
std::filesystem::path configHome(PawletKit::Environment const& environment);

}
