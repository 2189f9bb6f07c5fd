#include "shared/CollarPalette.hpp"

namespace PawletShared::CollarPalette {

CollarColor color(AgentSource source)
{
    switch (source) {
    case AgentSource::claude:
        return claude;
    case AgentSource::codex:
        return codex;
    case AgentSource::process:
        return process;
    }
    return process;
}

CollarColor color(std::string_view sourceName)
{
    return color(agentSourceFromRawValue(sourceName).value_or(AgentSource::process));
}

}
