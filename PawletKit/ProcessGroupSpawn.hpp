#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace PawletKit::ProcessGroupSpawn {

// The descriptors a child gets as its standard streams. Without one, input is /dev/null and output
// and error stay ours.
struct Streams {
    std::optional<int> input;
    std::optional<int> output;
    std::optional<int> error;
};

struct Started {
    // 0 unless it failed to start.
    int error { 0 };
    pid_t pid { 0 };
};

// Starts the program as the leader of a process group of its own, so a time-out can stop whatever it
// starts as well, with an empty signal mask and every signal at its default: the caller may ignore
// SIGPIPE, and ignored signals survive exec. `arguments` begin with the program's own name;
// `environment` holds "NAME=value" entries.
Started start(std::string const& program, std::vector<std::string> arguments, std::vector<std::string> environment, Streams const& streams);

}
