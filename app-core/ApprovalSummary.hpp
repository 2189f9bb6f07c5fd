#pragma once

#include "app-core/SummaryLine.hpp"

#include <string_view>
#include <vector>

namespace PupnikCore::ApprovalSummary {

// The summary split at each line feed, every line toned by how a unified diff starts it; an empty
// summary is one plain line saying that nothing was sent.
std::vector<SummaryLine> lines(std::string_view summary);

// The tone of one line: "---"/"+++" file headers before single "+"/"-" lines, "@@" hunk headers.
SummaryLine::Tone tone(std::string_view line);

}
