#pragma once

#include "PawletKit/AgentLog.hpp"
#include "PawletKit/Environment.hpp"
#include "PawletKit/JSON.hpp"
#include "PawletKit/Paths.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace AgentTool {

// What every road of one tool process reads: the environment as it was at start, the support
// directory it names, and the diagnostic log there. Fixed for the life of the process.
class AgentContext final {
public:
    static constexpr int64_t emergencyRotateAt = 33'554'432;

    explicit AgentContext(PawletKit::Environment environment);

    PawletKit::Environment const& environment() const { return m_environment; }
    PawletKit::Paths const& paths() const { return m_paths; }
    PawletKit::AgentLog const& log() const { return m_log; }
    std::optional<std::string_view> variable(std::string_view name) const;

    // Appends one line to events.jsonl. A failure only leaves a line in the log: a hook never fails
    // because of the event file.
    void appendEvent(std::string const& event, std::optional<std::string> const& matcher, PawletKit::JSON::Value const* data) const;

private:
    PawletKit::Environment m_environment;
    PawletKit::Paths m_paths;
    PawletKit::AgentLog m_log;
};

}
