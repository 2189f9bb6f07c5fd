#pragma once

#include "platform/MainLoopWait.hpp"

namespace Platform {

// Waits in nested Qt event loops: the pet keeps walking and the menu keeps opening while a command-line
// tool or a probe runs. Work off the main thread runs on a thread started for it and joined before
// runOffMainThread() returns, so what it uses only has to outlive the call.
class QtMainLoopWait final : public MainLoopWait {
public:
    // How often a wait for work looks whether the work has finished.
    static constexpr double checkInterval = 0.01;

    void pump(double seconds) override;
    bool runOffMainThread(std::function<void()> const& work) override;

private:
    bool m_running { false };
};

}
