#include "PawletKit/tests/TestSupport.hpp"
#include "Pupnik/InstanceHandOver.hpp"
#include "platform/Desktop/InstanceServer.hpp"
#include "platform/InstanceSocket.hpp"

#include <QCoreApplication>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Pupnik;
using namespace std::chrono_literals;

TEST(InstanceHandOver, TakesOnlyTheArgumentsOfTheApplicationsScheme)
{
    struct Case {
        std::vector<char const*> arguments;
        std::vector<std::string> urls;
    } const cases[] = {
        { { "Pupnik" }, {} },
        // The program's own name never counts, whatever it looks like.
        { { "pupnik:demo" }, {} },
        { { "Pupnik", "pupnik://demo/happy" }, { "pupnik://demo/happy" } },
        { { "Pupnik", "PUPNIK:debug/status", "PupNik://demo/off" }, { "PUPNIK:debug/status", "PupNik://demo/off" } },
        { { "Pupnik", "-platform", "xcb", "pupnik://demo/run" }, { "pupnik://demo/run" } },
        { { "Pupnik", "https://example.com", "pupnik", "pupnikx://demo/run", "pupni://demo/run", "pupnik:" },
            { "pupnik:" } },
        { { "Pupnik", " pupnik://demo/run", "pupnik" }, {} },
    };
    for (auto const& c : cases) {
        std::vector<char*> arguments;
        for (auto const* argument : c.arguments)
            arguments.push_back(const_cast<char*>(argument));
        EXPECT_EQ(InstanceHandOver::urlArguments(arguments), c.urls) << c.arguments.size() << " arguments";
    }
}

TEST(InstanceHandOver, HandsTheURLsToTheRunningOneOrSaysWhyNot)
{
    TestSupport::TemporaryDirectory runtime;
    ::chmod(runtime.path().c_str(), 0700);
    PawletKit::Environment const environment { { "XDG_RUNTIME_DIR", runtime.path().string() } };
    auto const paths = PawletKit::Paths::withBase(runtime.path() / "support");
    std::vector<std::string> const urls { "pupnik://demo/happy" };

    // Nobody listens yet; nothing to hand over is no failure.
    EXPECT_EQ(InstanceHandOver::toRunningInstance(paths, environment, {}), 0);
    EXPECT_EQ(InstanceHandOver::toRunningInstance(paths, environment, urls), 1);

    std::vector<std::string> received;
    Platform::InstanceServer server([&](std::vector<std::string> urls) { received = std::move(urls); });
    auto const socket = Platform::InstanceSocket::locate(environment, ::geteuid(), paths.base(), true);
    ASSERT_TRUE(socket.path) << socket.problem;
    ASSERT_EQ(server.listen(*socket.path), std::nullopt);
    auto status = std::async(std::launch::async, [&] { return InstanceHandOver::toRunningInstance(paths, environment, urls); });
    auto const end = std::chrono::steady_clock::now() + 10s;
    while ((status.wait_for(0s) != std::future_status::ready || received.empty()) && std::chrono::steady_clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(status.get(), 0);
    EXPECT_EQ(received, urls);

    // Another support folder has a socket of its own, where nobody listens.
    EXPECT_EQ(InstanceHandOver::toRunningInstance(PawletKit::Paths::withBase(runtime.path() / "other"), environment, urls), 1);
}
