#pragma once

#include "PawletKit/QuotaInfo.hpp"

#include <string>
#include <string_view>

namespace PupnikCore {

// "claude=5h:42%/7d:-/resets:-": one source's usage reading on one line, for the status report.
std::string quotaSummary(std::string_view source, PawletKit::QuotaInfo const& quota);

}
