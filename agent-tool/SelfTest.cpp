#include "agent-tool/SelfTest.hpp"

#include "agent-tool/OutputWriter.hpp"

#include <unistd.h>

namespace AgentTool::SelfTest {

int run(AgentContext const& context)
{
    PawletKit::JSON::Value data {
        { "session_id", "selftest" },
        { "hook_event_name", "selftest" },
        { "pid", static_cast<int64_t>(::getpid()) },
    };
    context.appendEvent("selftest", std::nullopt, &data);
    OutputWriter::writeStandardOutput(context.paths().spool().string() + "\n");
    return 0;
}

}
