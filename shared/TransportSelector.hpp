#pragma once

#include "shared/TransportKind.hpp"

namespace PawletShared::TransportSelector {

// Either demo request wins, then a usable cloud, then the demo fallback; otherwise nothing runs.
TransportKind choose(bool demoRequested, bool demoForced, bool cloudUsable, bool demoFallback);

}
