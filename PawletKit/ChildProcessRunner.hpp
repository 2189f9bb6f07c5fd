#pragma once

#include "PawletKit/ProcessRunner.hpp"

namespace PawletKit {

// A child process in a process group of its own, standard input from /dev/null, both output pipes
// polled against one deadline. When the deadline passes the whole group is killed and the child
// reaped before run() returns. A child that exits while something it started still holds the pipes
// open is waited for at most a short grace period longer; then its group is killed too, so nothing
// of the run is left behind.
class ChildProcessRunner final : public ProcessRunner {
public:
    static constexpr double pipeGraceSeconds = 0.5;

    Result run(Request const& request) const override;
};

}
