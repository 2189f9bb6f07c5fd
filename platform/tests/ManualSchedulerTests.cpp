#include "platform/InstallLayout.hpp"
#include "platform/ManualScheduler.hpp"

#include <gtest/gtest.h>
#include <string>

using namespace Platform;

TEST(ManualScheduler, TimersFireInTimeOrderAndStopWhenDropped)
{
    ManualScheduler scheduler;
    std::string trace;
    auto every = scheduler.repeating(1.0, [&] { trace += "r"; });
    auto once = scheduler.after(1.5, [&] { trace += "o"; scheduler.post([&] { trace += "p"; }); });
    scheduler.advance(3.0);
    EXPECT_EQ(trace, "rop"
                     "rr");
    every.reset();
    scheduler.advance(5.0);
    EXPECT_EQ(trace, "roprr");
    EXPECT_EQ(scheduler.activeTimers(), 0u);
}

TEST(ManualScheduler, ARestartedTimerRunsTheSameWorkOnItsNewTerms)
{
    ManualScheduler scheduler;
    std::string trace;
    // A single firing that has run, re-armed from inside its own work: it goes on, once each time.
    std::unique_ptr<ScheduledWork> chained;
    int left = 2;
    chained = scheduler.after(1.0, [&] {
        trace += "c";
        if (left-- > 0) {
            EXPECT_TRUE(chained->restart(0.5, false));
        }
    });
    scheduler.advance(3.0);
    EXPECT_EQ(trace, "ccc");
    // Re-armed long after it fired, and a repeating one turned into a single firing and back.
    EXPECT_TRUE(chained->restart(1.0, false));
    auto every = scheduler.repeating(1.0, [&] { trace += "r"; });
    EXPECT_TRUE(every->restart(0.25, false));
    scheduler.advance(2.0);
    EXPECT_EQ(trace, "ccc"
                     "rc");
    EXPECT_TRUE(every->restart(0.5, true));
    scheduler.advance(1.0);
    EXPECT_EQ(trace, "cccrcrr");
    // Dropped, a restarted timer is gone like any other.
    every.reset();
    chained.reset();
    scheduler.advance(5.0);
    EXPECT_EQ(trace, "cccrcrr");
    EXPECT_EQ(scheduler.activeTimers(), 0u);
}

TEST(InstallLayout, PrefixFromBinOrLibexec)
{
    EXPECT_EQ(InstallLayout::aroundExecutable("/usr/bin/Pupnik").shareDirectory(), std::filesystem::path("/usr/share/pupnik"));
    EXPECT_EQ(InstallLayout::aroundExecutable("/opt/p/libexec/pupnik/pupnik-agent").prefix(), std::filesystem::path("/opt/p"));
    auto running = InstallLayout::ofRunningProgram();
    ASSERT_TRUE(running);
    EXPECT_EQ(running->prefix(), std::filesystem::path(PUPNIK_BUILD_DIR));
}
