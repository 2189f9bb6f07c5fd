#include "agent-tool/AgentContext.hpp"

#include "PawletKit/Date.hpp"
#include "PawletKit/SpoolEvent.hpp"
#include "PawletKit/SpoolWriter.hpp"

#include <exception>

namespace AgentTool {

AgentContext::AgentContext(PawletKit::Environment environment)
    : m_environment(std::move(environment))
    , m_paths(m_environment)
    , m_log(m_paths)
{
}

std::optional<std::string_view> AgentContext::variable(std::string_view name) const
{
    if (auto it = m_environment.find(std::string(name)); it != m_environment.end())
        return it->second;
    return std::nullopt;
}

void AgentContext::appendEvent(std::string const& event, std::optional<std::string> const& matcher, PawletKit::JSON::Value const* data) const
{
    auto record = PawletKit::SpoolEvent::make(event, matcher, data, PawletKit::Date::now().secondsSince1970);
    try {
        PawletKit::SpoolWriter::appendLine(record.jsonLine(), m_paths.spool(), emergencyRotateAt);
    } catch (std::exception const& error) {
        m_log.append("append(" + event + ") failed: " + error.what());
    }
}

}
