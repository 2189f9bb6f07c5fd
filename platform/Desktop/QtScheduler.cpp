#include "platform/Desktop/QtScheduler.hpp"

#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <cmath>

namespace Platform {

namespace {

int milliseconds(double seconds);

class TimerWork final : public ScheduledWork {
public:
    explicit TimerWork(QTimer* timer)
        : m_timer(timer)
    {
    }
    bool restart(double seconds, bool repeats) override
    {
        if (!m_timer)
            return false;
        m_timer->setSingleShot(!repeats);
        m_timer->start(milliseconds(seconds));
        return true;
    }
    ~TimerWork() override
    {
        if (m_timer) {
            m_timer->stop();
            m_timer->deleteLater();
        }
    }

private:
    QPointer<QTimer> m_timer;
};

int milliseconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    return seconds >= 2e6 ? 2'000'000'000 : int(std::lround(seconds * 1000));
}

}

QtScheduler::QtScheduler(QObject* context)
    : m_context(context)
{
}

std::unique_ptr<ScheduledWork> QtScheduler::schedule(double seconds, bool repeats, std::function<void()> work)
{
    auto* timer = new QTimer(m_context);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeats);
    timer->setInterval(milliseconds(seconds));
    QObject::connect(timer, &QTimer::timeout, timer, [work = std::move(work)] { work(); });
    timer->start();
    return std::make_unique<TimerWork>(timer);
}

std::unique_ptr<ScheduledWork> QtScheduler::repeating(double interval, std::function<void()> work)
{
    return schedule(interval, true, std::move(work));
}

std::unique_ptr<ScheduledWork> QtScheduler::after(double delay, std::function<void()> work)
{
    return schedule(delay, false, std::move(work));
}

void QtScheduler::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(
        m_context, [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}

}
