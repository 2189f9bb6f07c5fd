#include "platform/ManualScheduler.hpp"

#include <algorithm>

namespace Platform {

struct ManualScheduler::Entry {
    double due { 0 };
    double interval { 0 };
    uint64_t order { 0 };
    bool cancelled { false };
    std::function<void()> work;
};

class ManualScheduler::Handle final : public ScheduledWork {
public:
    Handle(ManualScheduler& scheduler, std::shared_ptr<Entry> entry)
        : m_scheduler(scheduler)
        , m_entry(std::move(entry))
    {
    }
    ~Handle() override { m_entry->cancelled = true; }
    bool restart(double seconds, bool repeats) override
    {
        m_scheduler.rearm(m_entry, seconds, repeats ? std::max(seconds, 1e-6) : 0);
        return true;
    }

private:
    ManualScheduler& m_scheduler;
    std::shared_ptr<Entry> m_entry;
};

ManualScheduler::ManualScheduler() = default;
ManualScheduler::~ManualScheduler() = default;

std::unique_ptr<ScheduledWork> ManualScheduler::add(double first, double interval, std::function<void()> work)
{
    auto entry = std::make_shared<Entry>();
    entry->due = m_now + std::max(0.0, first);
    entry->interval = interval;
    entry->order = m_nextOrder++;
    entry->work = std::move(work);
    m_entries.push_back(entry);
    return std::make_unique<Handle>(*this, entry);
}

void ManualScheduler::rearm(std::shared_ptr<Entry> const& entry, double first, double interval)
{
    entry->due = m_now + std::max(0.0, first);
    entry->interval = interval;
    entry->order = m_nextOrder++;
    entry->cancelled = false;
    // A single firing that ran is dropped from the list; re-armed, it goes back in.
    if (std::find(m_entries.begin(), m_entries.end(), entry) == m_entries.end())
        m_entries.push_back(entry);
}

std::unique_ptr<ScheduledWork> ManualScheduler::repeating(double interval, std::function<void()> work)
{
    // A zero or negative interval would fire forever within one advance.
    return add(interval, std::max(interval, 1e-6), std::move(work));
}

std::unique_ptr<ScheduledWork> ManualScheduler::after(double delay, std::function<void()> work)
{
    return add(delay, 0, std::move(work));
}

void ManualScheduler::post(std::function<void()> work)
{
    std::lock_guard lock(m_postedMutex);
    m_posted.push_back(std::move(work));
}

void ManualScheduler::runPosted()
{
    for (;;) {
        std::vector<std::function<void()>> batch;
        {
            std::lock_guard lock(m_postedMutex);
            batch.swap(m_posted);
        }
        if (batch.empty())
            return;
        for (auto& work : batch)
            work();
    }
}

void ManualScheduler::advance(double seconds)
{
    double end = m_now + std::max(0.0, seconds);
    runPosted();
    for (;;) {
        std::erase_if(m_entries, [](auto const& entry) { return entry->cancelled; });
        auto next = std::min_element(m_entries.begin(), m_entries.end(), [](auto const& a, auto const& b) {
            return a->due != b->due ? a->due < b->due : a->order < b->order;
        });
        if (next == m_entries.end() || (*next)->due > end)
            break;
        auto entry = *next;
        m_now = entry->due;
        if (entry->interval > 0)
            entry->due += entry->interval;
        else
            entry->cancelled = true;
        entry->work();
        runPosted();
    }
    m_now = end;
}

size_t ManualScheduler::activeTimers() const
{
    return size_t(std::count_if(m_entries.begin(), m_entries.end(), [](auto const& entry) { return !entry->cancelled; }));
}

}
