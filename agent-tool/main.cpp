#include "agent-tool/AgentContext.hpp"
#include "agent-tool/CommandLine.hpp"
#include "agent-tool/HookRoad.hpp"
#include "agent-tool/SelfTest.hpp"
#include "agent-tool/StatusLineRoad.hpp"

#include "PawletKit/Environment.hpp"

#include <csignal>
#include <fcntl.h>
#include <span>
#include <unistd.h>

namespace {

// A descriptor among 0, 1 and 2 that the caller left closed would be taken by the first file opened
// here, and output meant for the coding agent could land in the event file.
void ensureStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) < 0 && ::open("/dev/null", O_RDWR) < 0)
            return;
}

}

int main(int argc, char** argv)
{
    using namespace AgentTool;
    ::signal(SIGPIPE, SIG_IGN);
    ensureStandardDescriptors();
    try {
        AgentContext const context(PawletKit::currentEnvironment());
        auto command = CommandLine::parse(std::span<char const* const>(argv + (argc > 0 ? 1 : 0), argc > 1 ? static_cast<size_t>(argc - 1) : 0));
        switch (command.road) {
        case CommandLine::Road::hook:
            return HookRoad::run(context, command.event, command.matcher);
        case CommandLine::Road::hookWithoutEvent:
            return HookRoad::runWithoutEvent(context);
        case CommandLine::Road::statusLine:
            return StatusLineRoad::run(context);
        case CommandLine::Road::selfTest:
            return SelfTest::run(context);
        case CommandLine::Road::usage:
            CommandLine::writeUsage(2);
            return 0;
        }
    } catch (...) {
        // Nothing may fail a hook; the coding agent would show the failure to the user.
    }
    return 0;
}
