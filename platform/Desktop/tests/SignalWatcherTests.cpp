#include "platform/Desktop/SignalWatcher.hpp"

#include <QEventLoop>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Platform;

TEST(SignalWatcher, ASignalRunsItsHandlerOnTheEventLoop)
{
    SignalWatcher watcher;
    QEventLoop loop;
    int usr1 = 0, usr2 = 0;
    ASSERT_TRUE(watcher.watch(SIGUSR1, [&] { ++usr1; }));
    ASSERT_TRUE(watcher.watch(SIGUSR2, [&] {
        ++usr2;
        loop.quit();
    }));
    ::kill(::getpid(), SIGUSR1);
    ::kill(::getpid(), SIGUSR2);
    loop.exec();
    EXPECT_EQ(usr1, 1);
    EXPECT_EQ(usr2, 1);
}
