#pragma once

#include "platform/WorkQueue.hpp"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Platform {

// A WorkQueue on one worker thread of its own, timers included (on the steady clock). Destroying
// the queue drops the work that has not begun, waits for the piece that runs, and joins the thread;
// so its own work never destroys it.
class SerialQueue final : public WorkQueue {
public:
    explicit SerialQueue(std::string label);
    ~SerialQueue() override;
    SerialQueue(SerialQueue const&) = delete;
    SerialQueue& operator=(SerialQueue const&) = delete;

    std::string const& label() const { return m_label; }
    bool isCurrent() const { return std::this_thread::get_id() == m_worker.get_id(); }

    void async(std::function<void()> work) override;
    void sync(std::function<void()> const& work) override;
    std::unique_ptr<ScheduledWork> repeating(double first, double interval, std::function<void()> work) override;

private:
    using TimePoint = std::chrono::steady_clock::time_point;
    struct Timer;
    class TimerHandle;

    void run();
    void cancel(Timer const* timer);

    std::string m_label;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_work;
    std::vector<std::shared_ptr<Timer>> m_timers;
    bool m_stopping { false };
    // Last, so that everything above exists while the thread runs.
    std::thread m_worker;
};

}
