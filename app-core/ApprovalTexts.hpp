#pragma once

#include "PawletKit/ApprovalRequest.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace PupnikCore::ApprovalTexts {

// The texts of the approval popover, localised at the moment they are asked for.

// Between the target and the project in the line under the tool's name.
constexpr std::string_view targetSeparator = "  \xC2\xB7  ";
// Marks the row of the request shown below the list.
constexpr std::string_view currentRowMarker = "\xE2\x96\xB8";

// The list's heading: how many requests wait.
std::string heading(size_t count);
// A list row: the marker (a blank for the other rows), the tool, and the target, else the project.
std::string rowTitle(PawletKit::ApprovalRequest const& request, bool isCurrent);
// The target's display name and the project, whichever are not empty, joined by the separator.
std::string targetLine(PawletKit::ApprovalRequest const& request);
// The note under a summary that was cut; nothing for a whole one.
std::optional<std::string> truncationNote(PawletKit::ApprovalRequest const& request);

}
