#include "platform/Desktop/QtScheduler.hpp"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>
#include <thread>

using namespace Platform;

TEST(QtScheduler, TimersRunOnTheEventLoopUntilDropped)
{
    QObject context;
    QtScheduler scheduler(&context);
    int ticks = 0;
    bool once = false;
    QEventLoop loop;
    auto every = scheduler.repeating(0.001, [&] {
        if (++ticks == 3)
            loop.quit();
    });
    auto single = scheduler.after(0, [&] { once = true; });
    loop.exec();
    EXPECT_TRUE(once);
    every.reset();
    int after = ticks;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(ticks, after);
}

TEST(QtScheduler, WorkPostedFromAnotherThreadRunsOnTheMainThreadInOrder)
{
    QObject context;
    QtScheduler scheduler(&context);
    std::vector<int> order;
    auto mainThread = std::this_thread::get_id();
    bool onMain = true;
    QEventLoop loop;
    std::thread worker([&] {
        for (int i = 0; i < 5; ++i)
            scheduler.post([&, i] {
                onMain = onMain && std::this_thread::get_id() == mainThread;
                order.push_back(i);
                if (i == 4)
                    loop.quit();
            });
    });
    loop.exec();
    worker.join();
    EXPECT_TRUE(onMain);
    EXPECT_EQ(order, (std::vector<int> { 0, 1, 2, 3, 4 }));
}

TEST(QtScheduler, ARestartedTimerFiresAgainOnItsNewTerms)
{
    QObject context;
    QtScheduler scheduler(&context);
    int fired = 0;
    QEventLoop loop;
    std::unique_ptr<ScheduledWork> timer;
    // A single firing re-armed from its own work, then turned into a repeating one.
    timer = scheduler.after(0, [&] {
        ++fired;
        if (fired == 1) {
            EXPECT_TRUE(timer->restart(0.001, false));
        } else if (fired == 2) {
            EXPECT_TRUE(timer->restart(0.001, true));
        } else if (fired == 5) {
            loop.quit();
        }
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(fired, 5);
    timer.reset();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(fired, 5);
}
