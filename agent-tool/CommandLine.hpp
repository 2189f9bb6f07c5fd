#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace AgentTool {

// What the arguments after the program name ask for. Words past those a road takes are ignored.
struct CommandLine {
    enum class Road {
        hook,
        hookWithoutEvent,
        statusLine,
        selfTest,
        usage,
    };

    static constexpr std::string_view usageLine = "usage: pupnik-agent hook <EventName> [matcher] | statusline | selftest\n";

    Road road { Road::usage };
    std::string event;
    std::optional<std::string> matcher;

    static CommandLine parse(std::span<char const* const> arguments);
    // One write call; a short write is left as it is.
    static void writeUsage(int fd);

    bool operator==(CommandLine const&) const = default;
};

}
