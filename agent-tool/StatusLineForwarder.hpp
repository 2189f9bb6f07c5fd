#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace AgentTool {

// Runs the user's own status-line command through "/bin/sh -c" in a process group of its own, feeds it
// the status-line input and collects what it prints, all within a time limit. The caller ignores
// SIGPIPE, so a command that closes its input early only ends the feeding. SIGTERM, SIGINT or SIGHUP
// to this process while the command runs end the command's group too, instead of leaving it behind.
class StatusLineForwarder final {
public:
    enum class Result {
        finished,
        spawnFailed,
        timedOut,
        // A termination signal arrived; the command's group was stopped.
        interrupted,
    };

    struct Outcome {
        Result result { Result::finished };
        // The command's exit status, or 128 plus the signal that ended it.
        int status { 0 };
        std::string output;
        // Why the command could not be started.
        std::string error;
    };

    static constexpr int64_t terminateGraceMs = 300;
    static constexpr int64_t killGraceMs = 1000;
    // How long output may still arrive after the command ended (a background child holding the pipe).
    static constexpr int64_t outputGraceMs = 500;
    // A status line is one short line; anything past this is read and dropped.
    static constexpr size_t maxOutputBytes = 1'048'576;

    // Set for the command: a status line that runs our tool again is not forwarded a second time.
    static constexpr std::string_view forwardedMark = "PUPNIK_STATUS_LINE_FORWARDED";

    static Outcome run(std::string const& command, std::string_view input, int64_t timeoutMs);
};

}
