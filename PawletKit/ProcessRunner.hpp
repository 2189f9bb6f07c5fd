#pragma once

#include "PawletKit/Environment.hpp"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace PawletKit {

// Runs a program to its end and collects what it printed, within a time limit.
class ProcessRunner {
public:
    struct Request {
        std::filesystem::path executable;
        // Arguments after the program's own name.
        std::vector<std::string> arguments;
        // The whole environment of the program; nothing of ours is inherited.
        PawletKit::Environment environment;
        // Seconds until the program is stopped, with everything it started.
        double timeout { 5 };
        // Per output stream; the rest is read and dropped, so the program never blocks on a full pipe.
        size_t maxOutputBytes { 64 * 1024 };
    };

    struct Result {
        enum class Ending {
            exited,
            // Ended by a signal of someone else's; `status` is the signal number.
            signalled,
            // Killed, with its process group, when the time limit passed.
            timedOut,
            // Never ran; `startError` holds the errno.
            failedToStart,
        };
        Ending ending { Ending::failedToStart };
        // The exit status, or the signal number.
        int status { 0 };
        int startError { 0 };
        std::string standardOutput;
        std::string standardError;
        bool outputTruncated { false };
    };

    virtual ~ProcessRunner() = default;
    virtual Result run(Request const& request) const = 0;
};

}
