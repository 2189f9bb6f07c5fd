#include "platform/Desktop/QtMainLoopWait.hpp"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace Platform {

void QtMainLoopWait::pump(double seconds)
{
    if (!(seconds > 0))
        return;
    auto const started = std::chrono::steady_clock::now();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::ceil(std::min(seconds, 3600.0) * 1000)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    // Once the application is quitting, nested loops return at once; the wait then still lasts its time.
    auto const waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (waited < seconds)
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds - waited));
}

bool QtMainLoopWait::runOffMainThread(std::function<void()> const& work)
{
    if (m_running)
        return false;
    m_running = true;
    std::atomic<bool> done { false };
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done)
        pump(checkInterval);
    worker.join();
    m_running = false;
    return true;
}

}
