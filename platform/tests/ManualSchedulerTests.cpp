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

TEST(InstallLayout, PrefixFromBinOrLibexec)
{
    EXPECT_EQ(InstallLayout::aroundExecutable("/usr/bin/Pupnik").shareDirectory(), std::filesystem::path("/usr/share/pupnik"));
    EXPECT_EQ(InstallLayout::aroundExecutable("/opt/p/libexec/pupnik/pupnik-agent").prefix(), std::filesystem::path("/opt/p"));
    auto running = InstallLayout::ofRunningProgram();
    ASSERT_TRUE(running);
    EXPECT_EQ(running->prefix(), std::filesystem::path(PUPNIK_BUILD_DIR));
}
