#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace Platform {

// A later start's side of the hand-over: connects to the running application's socket, sends the
// URLs and waits for its answer, all within one deadline. Plain POSIX, so it runs before any
// toolkit or display is touched.
class InstanceClient final {
public:
    struct Outcome {
        bool delivered { false };
        // Why not, for the user.
        std::string problem;
    };

    // The running application may still be starting: a missing or refused socket is tried again
    // until the deadline.
    static Outcome handOver(std::filesystem::path const& socket, std::vector<std::string> const& urls,
        std::chrono::milliseconds deadline = std::chrono::milliseconds(3000));
};

}
