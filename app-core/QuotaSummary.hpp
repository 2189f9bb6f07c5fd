#pragma once

#include "PawletKit/PawletState.hpp"
#include "PawletKit/QuotaInfo.hpp"

#include <string>
#include <string_view>

namespace PupnikCore {

// "claude=5h:42%/7d:-/resets:-": one source's usage reading on one line, for the status report.
std::string quotaSummary(std::string_view source, PawletKit::QuotaInfo const& quota);
// The same for the state's reading of that source; a source without one reads as all missing.
std::string quotaSummary(std::string_view source, PawletKit::PawletState const& state);

}
