#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace PawletKit {

// Which kind of follower an agent session comes from, told by its session id.
enum class SessionSource {
    claude,
    codex,
    process,
};

inline constexpr std::array<SessionSource, 3> allSessionSources { SessionSource::claude, SessionSource::codex, SessionSource::process };

std::string_view rawValue(SessionSource);
std::optional<SessionSource> sessionSourceFromRawValue(std::string_view);

// "codex:…" ids come from the transcript follower, "proc:…" ids from the process source; every other
// id, and no id, is the coding agent's own.
SessionSource sessionSourceOf(std::optional<std::string_view> sid);

// The localisation key of the source's display name, "source.codex" and so on.
std::string labelKey(SessionSource);

}
