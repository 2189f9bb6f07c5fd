#pragma once

#include "platform/Scheduler.hpp"

#include <functional>
#include <memory>

namespace Platform {

// A serial queue: work runs one piece at a time, in the order it was added, on the queue's own
// thread. The application uses a SerialQueue, tests a ManualWorkQueue.
class WorkQueue {
public:
    virtual ~WorkQueue() = default;
    // Adds the work and returns at once; callable from any thread.
    virtual void async(std::function<void()> work) = 0;
    // Runs the work on the queue and waits for it; run in place when called from the queue itself.
    virtual void sync(std::function<void()> const& work) = 0;
    // Runs the work on the queue first after `first` seconds, then every `interval` seconds, until
    // the handle is dropped. A run that has begun when the handle goes may still finish.
    [[nodiscard]] virtual std::unique_ptr<ScheduledWork> repeating(double first, double interval, std::function<void()> work) = 0;
};

}
