#include "platform/SerialQueue.hpp"

#include <algorithm>
#include <cmath>

namespace Platform {

struct SerialQueue::Timer {
    TimePoint due;
    std::chrono::steady_clock::duration interval;
    std::function<void()> work;
};

class SerialQueue::TimerHandle final : public ScheduledWork {
public:
    TimerHandle(SerialQueue& queue, Timer const* timer)
        : m_queue(queue)
        , m_timer(timer)
    {
    }
    ~TimerHandle() override { m_queue.cancel(m_timer); }

private:
    SerialQueue& m_queue;
    Timer const* m_timer;
};

namespace {

std::chrono::steady_clock::duration seconds(double value)
{
    // Negative, not-a-number and absurd values would make the worker spin or wait forever.
    if (!std::isfinite(value) || value < 0)
        value = 0;
    value = std::min(value, 365.0 * 24 * 3600);
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(value));
}

}

SerialQueue::SerialQueue(std::string label)
    : m_label(std::move(label))
    , m_worker([this] { run(); })
{
}

SerialQueue::~SerialQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_work.clear();
        m_timers.clear();
    }
    m_wake.notify_all();
    m_worker.join();
}

void SerialQueue::async(std::function<void()> work)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_work.push_back(std::move(work));
    }
    m_wake.notify_one();
}

void SerialQueue::sync(std::function<void()> const& work)
{
    if (isCurrent()) {
        work();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_work.push_back([&] {
            work();
            std::lock_guard doneLock(doneMutex);
            done = true;
            doneSignal.notify_one();
        });
    }
    m_wake.notify_one();
    std::unique_lock doneLock(doneMutex);
    doneSignal.wait(doneLock, [&] { return done; });
}

std::unique_ptr<ScheduledWork> SerialQueue::repeating(double first, double interval, std::function<void()> work)
{
    auto timer = std::make_shared<Timer>();
    timer->due = std::chrono::steady_clock::now() + seconds(first);
    // A zero interval would starve every other piece of work.
    timer->interval = std::max(seconds(interval), std::chrono::steady_clock::duration(std::chrono::milliseconds(1)));
    timer->work = std::move(work);
    auto handle = std::make_unique<TimerHandle>(*this, timer.get());
    {
        std::lock_guard lock(m_mutex);
        m_timers.push_back(std::move(timer));
    }
    m_wake.notify_one();
    return handle;
}

void SerialQueue::cancel(Timer const* timer)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_timers, [timer](auto const& entry) { return entry.get() == timer; });
}

void SerialQueue::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (!m_work.empty()) {
            auto work = std::move(m_work.front());
            m_work.pop_front();
            lock.unlock();
            work();
            lock.lock();
            continue;
        }
        auto next = std::min_element(m_timers.begin(), m_timers.end(), [](auto const& a, auto const& b) { return a->due < b->due; });
        if (next == m_timers.end()) {
            m_wake.wait(lock);
            continue;
        }
        auto now = std::chrono::steady_clock::now();
        // A copy: the timer may be cancelled, and freed, while the worker waits for it.
        TimePoint const due = (*next)->due;
        if (due > now) {
            m_wake.wait_until(lock, due);
            continue;
        }
        // The timer stays alive for its run even when its handle goes meanwhile.
        auto timer = *next;
        // Missed beats are not made up: the next one is an interval after this run's start.
        timer->due = now + timer->interval;
        lock.unlock();
        timer->work();
        lock.lock();
    }
}

}
