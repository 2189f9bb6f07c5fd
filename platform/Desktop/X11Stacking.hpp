#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace Platform::X11Stacking {

// Our own top-level windows, front first, as the X server stacks them: each window's place is that
// of its ancestor just below the root (the window manager's frame, or the window itself when it is
// not managed, like a menu). Nothing off X11 (or when the server does not answer): the caller keeps
// its own order.
std::optional<std::vector<uint64_t>> frontToBack(std::vector<uint64_t> const& windows);

}
