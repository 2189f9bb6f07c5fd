#pragma once

#include "PawletKit/JSON.hpp"
#include "PawletKit/SpoolEvent.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PawletKit::CodexRecordTranslator {

// Turns one line of a codex session transcript into the hook-shaped events the engine takes in.
// Reads only the members named in the implementation; everything else codex writes is ignored.

constexpr std::string_view sourceName = "codex";

// Payload types that ask the user for something ("exec_approval_request" and the like).
bool looksLikeApproval(std::string_view payloadType);

// Zero, one or two events for a complete line (without its line break). Nothing when the line is no
// record at all (not JSON, not an object, an empty object, or no string "type"): the caller counts it.
std::optional<std::vector<SpoolEvent>> events(std::string_view line, std::string const& sid, double now);

SpoolEvent makeEvent(std::string const& name, std::optional<std::string> matcher, JSON::Value const& extra,
    JSON::Value const& base, std::string const& sid, double ts);

// The "statusline" event of a token count, followed by a "StopFailure" when the agent hit its limit.
std::vector<SpoolEvent> tokenCountEvents(JSON::Value const& payload, std::string const& sid, JSON::Value const& base, double ts);

}
