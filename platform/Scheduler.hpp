#pragma once

#include <functional>
#include <memory>

namespace Platform {

// A scheduled piece of work; dropping the handle cancels it.
class ScheduledWork {
public:
    virtual ~ScheduledWork() = default;
    // The same work again, in place of whatever was due: after the given seconds, and every so
    // many seconds after that when it repeats. A timer that fires many times a second is re-armed
    // instead of made anew each time. False when this handle cannot; the caller schedules afresh.
    virtual bool restart(double seconds, bool repeats)
    {
        (void)seconds;
        (void)repeats;
        return false;
    }
};

// The main thread's timers, seen from code that must stay free of Qt: the application gives a
// QTimer-backed scheduler, tests a ManualScheduler. Work always runs on the main thread.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    // Runs the work every interval seconds until the handle is dropped.
    [[nodiscard]] virtual std::unique_ptr<ScheduledWork> repeating(double interval, std::function<void()> work) = 0;
    // Runs the work once after the delay unless the handle is dropped first.
    [[nodiscard]] virtual std::unique_ptr<ScheduledWork> after(double delay, std::function<void()> work) = 0;
    // Runs the work on the main thread soon; callable from any thread. Work posted in order runs in order.
    virtual void post(std::function<void()> work) = 0;
};

}
