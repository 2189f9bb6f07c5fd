#include "PawletKit/SessionSource.hpp"

namespace PawletKit {

std::string_view rawValue(SessionSource source)
{
    switch (source) {
    case SessionSource::claude:
        return "claude";
    case SessionSource::codex:
        return "codex";
    case SessionSource::process:
        return "process";
    }
    return "claude";
}

std::optional<SessionSource> sessionSourceFromRawValue(std::string_view text)
{
    for (SessionSource source : allSessionSources)
        if (rawValue(source) == text)
            return source;
    return std::nullopt;
}

SessionSource sessionSourceOf(std::optional<std::string_view> sid)
{
    if (!sid)
        return SessionSource::claude;
    if (sid->starts_with("codex:"))
        return SessionSource::codex;
    if (sid->starts_with("proc:"))
        return SessionSource::process;
    return SessionSource::claude;
}

std::string labelKey(SessionSource source)
{
    return "source." + std::string(rawValue(source));
}

}
