#include "shared/AgentSource.hpp"

namespace PawletShared {

std::string_view rawValue(AgentSource source)
{
    switch (source) {
    case AgentSource::claude:
        return "claude";
    case AgentSource::codex:
        return "codex";
    case AgentSource::process:
        return "process";
    }
    return "process";
}

std::optional<AgentSource> agentSourceFromRawValue(std::string_view text)
{
    for (AgentSource source : allAgentSources)
        if (rawValue(source) == text)
            return source;
    return std::nullopt;
}

std::string labelKey(AgentSource source)
{
    return "source." + std::string(rawValue(source));
}

}
