#pragma once

#include "agent-tool/AgentContext.hpp"

namespace AgentTool::SelfTest {

// Records one recognisable event and prints the path of the event file, so an installation can be
// checked end to end. Always 0; standard input is not read.
int run(AgentContext const& context);

}
