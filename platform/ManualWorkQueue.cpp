#include "platform/ManualWorkQueue.hpp"

#include <algorithm>

namespace Platform {

struct ManualWorkQueue::Timer {
    double due;
    double interval;
    std::function<void()> work;
};

class ManualWorkQueue::Handle final : public ScheduledWork {
public:
    Handle(std::vector<std::shared_ptr<Timer>>& timers, Timer const* timer)
        : m_timers(timers)
        , m_timer(timer)
    {
    }
    ~Handle() override
    {
        std::erase_if(m_timers, [this](auto const& entry) { return entry.get() == m_timer; });
    }

private:
    std::vector<std::shared_ptr<Timer>>& m_timers;
    Timer const* m_timer;
};

ManualWorkQueue::ManualWorkQueue(ManualClock* clock)
    : m_clock(clock)
{
}

ManualWorkQueue::~ManualWorkQueue() = default;

void ManualWorkQueue::async(std::function<void()> work) { m_work.push_back(std::move(work)); }

void ManualWorkQueue::sync(std::function<void()> const& work) { work(); }

std::unique_ptr<ScheduledWork> ManualWorkQueue::repeating(double first, double interval, std::function<void()> work)
{
    auto timer = std::make_shared<Timer>(Timer { m_now + std::max(first, 0.0), std::max(interval, 0.001), std::move(work) });
    auto handle = std::make_unique<Handle>(m_timers, timer.get());
    m_timers.push_back(std::move(timer));
    return handle;
}

void ManualWorkQueue::runPending()
{
    while (!m_work.empty()) {
        auto work = std::move(m_work.front());
        m_work.pop_front();
        work();
    }
}

void ManualWorkQueue::moveTo(double time)
{
    if (m_clock && time > m_now)
        m_clock->advance(time - m_now);
    m_now = std::max(m_now, time);
}

void ManualWorkQueue::advance(double seconds)
{
    runPending();
    double const target = m_now + std::max(seconds, 0.0);
    while (true) {
        auto next = std::min_element(m_timers.begin(), m_timers.end(), [](auto const& a, auto const& b) { return a->due < b->due; });
        if (next == m_timers.end() || (*next)->due > target)
            break;
        auto timer = *next;
        moveTo(timer->due);
        timer->due += timer->interval;
        timer->work();
        runPending();
    }
    moveTo(target);
    runPending();
}

}
