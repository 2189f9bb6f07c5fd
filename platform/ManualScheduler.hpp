#pragma once

#include "platform/Scheduler.hpp"

#include <memory>
#include <mutex>
#include <vector>

namespace Platform {

// A scheduler whose time moves only through advance(): timers fire in time order, posted work runs
// on runPosted() (and at every advance). For tests of timer-driven logic without an event loop.
class ManualScheduler final : public Scheduler {
public:
    ManualScheduler();
    ~ManualScheduler() override;

    std::unique_ptr<ScheduledWork> repeating(double interval, std::function<void()> work) override;
    std::unique_ptr<ScheduledWork> after(double delay, std::function<void()> work) override;
    void post(std::function<void()> work) override;

    double now() const { return m_now; }
    // Moves time forward, firing each timer whose time comes, in order, and running posted work.
    void advance(double seconds);
    // Runs everything posted so far (and whatever that posts in turn).
    void runPosted();
    size_t activeTimers() const;

private:
    struct Entry;
    class Handle;
    std::unique_ptr<ScheduledWork> add(double first, double interval, std::function<void()> work);
    void rearm(std::shared_ptr<Entry> const& entry, double first, double interval);

    double m_now { 0 };
    uint64_t m_nextOrder { 0 };
    std::vector<std::shared_ptr<Entry>> m_entries;
    std::mutex m_postedMutex;
    std::vector<std::function<void()>> m_posted;
};

}
