#include "platform/ManualWorkQueue.hpp"
#include "platform/SerialQueue.hpp"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace Platform;

namespace {

// Waits, within a bound, until the condition holds.
template<typename Condition>
bool eventually(Condition condition)
{
    for (int attempt = 0; attempt < 1000 && !condition(); ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return condition();
}

}

TEST(SerialQueue, WorkRunsInOrderOneAtATimeOnItsOwnThread)
{
    SerialQueue queue("test.order");
    std::vector<int> order;
    std::atomic<int> running { 0 };
    std::atomic<bool> overlapped { false };
    std::thread::id worker;
    for (int index = 0; index < 200; ++index)
        queue.async([&, index] {
            if (++running > 1)
                overlapped = true;
            order.push_back(index);
            worker = std::this_thread::get_id();
            --running;
        });
    // sync waits for everything added before it.
    queue.sync([] {});
    ASSERT_EQ(order.size(), 200u);
    for (int index = 0; index < 200; ++index)
        EXPECT_EQ(order[static_cast<size_t>(index)], index);
    EXPECT_FALSE(overlapped);
    EXPECT_NE(worker, std::this_thread::get_id());
}

TEST(SerialQueue, SyncAnswersFromManyThreadsAndRunsInPlaceOnTheQueueItself)
{
    SerialQueue queue("test.sync");
    int counter = 0;
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread)
        threads.emplace_back([&] {
            for (int step = 0; step < 100; ++step)
                queue.sync([&] { ++counter; });
        });
    for (auto& thread : threads)
        thread.join();
    int seen = 0;
    queue.sync([&] { seen = counter; });
    EXPECT_EQ(seen, 400);

    std::promise<bool> nested;
    queue.async([&] {
        bool ran = false;
        queue.sync([&] { ran = queue.isCurrent(); });
        nested.set_value(ran);
    });
    auto answer = nested.get_future();
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "a sync from the queue itself must not wait for itself";
    EXPECT_TRUE(answer.get());
}

TEST(SerialQueue, ATimerRepeatsOnTheQueueUntilItsHandleIsDropped)
{
    SerialQueue queue("test.timer");
    std::atomic<int> beats { 0 };
    std::atomic<bool> offQueue { false };
    auto timer = queue.repeating(0.001, 0.005, [&] {
        if (!queue.isCurrent())
            offQueue = true;
        ++beats;
    });
    ASSERT_TRUE(eventually([&] { return beats.load() >= 5; }));
    timer.reset();
    // Whatever was due has run once the queue has served a later piece of work.
    queue.sync([] {});
    int const stopped = beats.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(beats.load(), stopped);
    EXPECT_FALSE(offQueue);
}

TEST(SerialQueue, DestructionDropsWorkNotBegunAndWaitsForTheRunningPiece)
{
    std::atomic<bool> finished { false };
    std::atomic<bool> laterRan { false };
    std::promise<void> started;
    {
        SerialQueue queue("test.end");
        queue.async([&] {
            started.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            finished = true;
        });
        queue.async([&] { laterRan = true; });
        started.get_future().wait();
    }
    EXPECT_TRUE(finished) << "the running piece finished before the queue was gone";
    EXPECT_FALSE(laterRan);
}

TEST(ManualWorkQueue, TimersFireInTimeOrderMovingTheClockAndWorkWaitsForItsTurn)
{
    ManualClock clock(100, 10);
    ManualWorkQueue queue(&clock);
    std::vector<std::string> events;
    auto fast = queue.repeating(1, 1, [&] { events.push_back("fast@" + std::to_string(static_cast<int>(clock.monotonic()))); });
    auto slow = queue.repeating(2.5, 10, [&] {
        events.push_back("slow@" + std::to_string(static_cast<int>(clock.monotonic())));
        queue.async([&] { events.push_back("posted"); });
    });
    queue.async([&] { events.push_back("first"); });
    EXPECT_TRUE(events.empty());
    queue.advance(3);
    EXPECT_EQ(events, (std::vector<std::string> { "first", "fast@11", "fast@12", "slow@12", "posted", "fast@13" }));
    EXPECT_EQ(clock.now(), 103);
    fast.reset();
    queue.advance(2);
    EXPECT_EQ(events.size(), 6u);
    EXPECT_EQ(queue.activeTimers(), 1u);
}
