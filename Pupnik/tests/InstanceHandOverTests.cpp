#include "PawletKit/tests/TestSupport.hpp"
#include "Pupnik/InstanceHandOver.hpp"
#include "platform/Desktop/InstanceServer.hpp"
#include "platform/InstanceSocket.hpp"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
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

namespace {

// Runs the operation with standard error caught in a temporary file; gives what was written there.
template<typename Operation>
std::string standardErrorOf(Operation&& operation)
{
    std::FILE* file = std::tmpfile();
    if (!file)
        return "no temporary file";
    int const saved = ::dup(STDERR_FILENO);
    ::dup2(::fileno(file), STDERR_FILENO);
    operation();
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::string written;
    std::rewind(file);
    char buffer[4096];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        written.append(buffer, count);
    std::fclose(file);
    return written;
}

}

TEST(InstanceHandOver, KeepsTheReadableURLsAndSaysWhichWereRefusedAndWhy)
{
    std::string const huge = "pupnik://demo/" + std::string(100 * 1024, 'a');
    std::vector<std::string> kept;
    auto const log = standardErrorOf([&] {
        kept = InstanceHandOver::readableURLs({ "pupnik://demo/happy", huge, "pupnik://demo/%zz", "pupnik://demo/a b", "pupnik://demo/sick" });
    });
    EXPECT_EQ(kept, (std::vector<std::string> { "pupnik://demo/happy", "pupnik://demo/sick" }));
    EXPECT_EQ(log,
        "[Pupnik] url: refused " + huge.substr(0, 120) + "…: it is longer than 8192 bytes (102414)\n"
                                                         "[Pupnik] url: refused pupnik://demo/%zz: a percent sign is not followed by two hexadecimal digits\n"
                                                         "[Pupnik] url: refused pupnik://demo/a b: it holds a space, a control or non-ASCII byte, or a character a URL cannot hold unescaped\n");
}

TEST(InstanceHandOver, URLsPastOneHandOversBoundAreRefusedAndTheOthersGo)
{
    TestSupport::TemporaryDirectory runtime;
    ::chmod(runtime.path().c_str(), 0700);
    PawletKit::Environment const environment { { "XDG_RUNTIME_DIR", runtime.path().string() } };
    auto const paths = PawletKit::Paths::withBase(runtime.path() / "support");
    std::vector<std::string> urls;
    for (int i = 0; i < 66; ++i)
        urls.push_back("pupnik://demo/happy?n=" + std::to_string(i));

    std::vector<std::string> received;
    Platform::InstanceServer server([&](std::vector<std::string> urls) { received = std::move(urls); });
    auto const socket = Platform::InstanceSocket::locate(environment, ::geteuid(), paths.base(), true);
    ASSERT_TRUE(socket.path) << socket.problem;
    ASSERT_EQ(server.listen(*socket.path), std::nullopt);
    std::string log;
    auto status = std::async(std::launch::async, [&] {
        int result = 0;
        log = standardErrorOf([&] { result = InstanceHandOver::toRunningInstance(paths, environment, urls); });
        return result;
    });
    auto const end = std::chrono::steady_clock::now() + 30s;
    while ((status.wait_for(0s) != std::future_status::ready || received.empty()) && std::chrono::steady_clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(status.get(), 0);
    EXPECT_EQ(received, std::vector<std::string>(urls.begin(), urls.begin() + 64));
    EXPECT_EQ(log,
        "[Pupnik] url: refused pupnik://demo/happy?n=64: a start hands over at most 64 URLs in 64 KiB\n"
        "[Pupnik] url: refused pupnik://demo/happy?n=65: a start hands over at most 64 URLs in 64 KiB\n"
        "[Pupnik] url: handed 64 URL(s) to the running Pupnik\n");
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
