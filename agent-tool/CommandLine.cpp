#include "agent-tool/CommandLine.hpp"

#include <unistd.h>

namespace AgentTool {

CommandLine CommandLine::parse(std::span<char const* const> arguments)
{
    CommandLine command;
    if (arguments.empty() || !arguments[0])
        return command;
    std::string_view first = arguments[0];
    if (first == "statusline") {
        command.road = Road::statusLine;
    } else if (first == "selftest") {
        command.road = Road::selfTest;
    } else if (first == "hook") {
        if (arguments.size() < 2 || !arguments[1] || !*arguments[1]) {
            command.road = Road::hookWithoutEvent;
            return command;
        }
        command.road = Road::hook;
        command.event = arguments[1];
        if (arguments.size() >= 3 && arguments[2])
            command.matcher = arguments[2];
    }
    return command;
}

void CommandLine::writeUsage(int fd)
{
    [[maybe_unused]] auto written = ::write(fd, usageLine.data(), usageLine.size());
}

}
