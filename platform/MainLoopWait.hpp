#pragma once

#include <functional>

namespace Platform {

// Lets the main thread wait without freezing: timers, drawing and input keep being handled while the
// caller waits for time to pass or for work running on another thread. Whatever runs meanwhile may
// call back into the caller's objects, so callers guard against being entered again.
class MainLoopWait {
public:
    virtual ~MainLoopWait() = default;
    // Handles the main thread's events for about this many seconds.
    virtual void pump(double seconds) = 0;
    // Runs the work on a thread of its own and returns when it has finished, handling events
    // meanwhile. False, and the work not run, while this waiter already waits on other work. The work
    // must not throw.
    [[nodiscard]] virtual bool runOffMainThread(std::function<void()> const& work) = 0;
};

// For code without an event loop (tests, tools): pumping does nothing and work runs on the caller's
// thread.
class InlineMainLoopWait final : public MainLoopWait {
public:
    void pump(double) override { }
    bool runOffMainThread(std::function<void()> const& work) override;

private:
    bool m_running { false };
};

}
