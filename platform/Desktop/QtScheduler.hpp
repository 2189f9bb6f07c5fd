#pragma once

#include "platform/Scheduler.hpp"

#include <QObject>

namespace Platform {

// The main thread's timers as QTimers (precise, so a 0.25 s tick keeps its tolerance); posted work
// goes through the event loop, from any thread.
class QtScheduler final : public Scheduler {
public:
    explicit QtScheduler(QObject* context);

    std::unique_ptr<ScheduledWork> repeating(double interval, std::function<void()> work) override;
    std::unique_ptr<ScheduledWork> after(double delay, std::function<void()> work) override;
    void post(std::function<void()> work) override;

private:
    std::unique_ptr<ScheduledWork> schedule(double seconds, bool repeats, std::function<void()> work);
    QObject* m_context;
};

}
