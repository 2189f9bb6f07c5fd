#pragma once

#include "platform/Clock.hpp"
#include "platform/WorkQueue.hpp"

#include <deque>
#include <vector>

namespace Platform {

// A WorkQueue for tests, on the test's own thread: work added with async waits for runPending()
// (or advance()); sync runs in place; timers fire as advance() moves time, and with it the clock
// when one is given.
class ManualWorkQueue final : public WorkQueue {
public:
    explicit ManualWorkQueue(ManualClock* clock = nullptr);
    ~ManualWorkQueue() override;

    void async(std::function<void()> work) override;
    void sync(std::function<void()> const& work) override;
    std::unique_ptr<ScheduledWork> repeating(double first, double interval, std::function<void()> work) override;

    // Runs the waiting work, and whatever it adds in turn.
    void runPending();
    // Moves time forward: each timer fires at its time, in order, with the waiting work run after
    // each firing and at the end.
    void advance(double seconds);
    double now() const { return m_now; }
    size_t pendingCount() const { return m_work.size(); }
    size_t activeTimers() const { return m_timers.size(); }

private:
    struct Timer;
    class Handle;

    void moveTo(double time);

    ManualClock* m_clock;
    double m_now { 0 };
    std::deque<std::function<void()>> m_work;
    std::vector<std::shared_ptr<Timer>> m_timers;
};

}
