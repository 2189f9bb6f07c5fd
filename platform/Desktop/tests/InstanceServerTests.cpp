#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/tests/TestSupport.hpp"
#include "platform/Desktop/InstanceServer.hpp"
#include "platform/InstanceClient.hpp"
#include "platform/InstanceMessage.hpp"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Platform;
using namespace std::chrono_literals;
using PawletKit::FileDescriptor;

namespace {

using Clock = std::chrono::steady_clock;

// Turns the event loop until the condition holds, for at most the bound.
template<typename Condition>
bool spinUntil(Condition condition, std::chrono::milliseconds bound = 10s)
{
    auto const end = Clock::now() + bound;
    while (!condition()) {
        if (Clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Runs the blocking work on another thread while the event loop turns here.
template<typename Work>
auto whileServing(Work work)
{
    auto result = std::async(std::launch::async, work);
    EXPECT_TRUE(spinUntil([&] { return result.wait_for(0s) == std::future_status::ready; }));
    return result.get();
}

sockaddr_un addressOf(std::filesystem::path const& path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

FileDescriptor connectTo(std::filesystem::path const& path)
{
    FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    auto const address = addressOf(path);
    if (::connect(fd.get(), reinterpret_cast<sockaddr const*>(&address), sizeof address) != 0)
        return {};
    return fd;
}

// Everything the other side sends until it closes, or nothing at the bound.
std::optional<std::string> readToEnd(int fd, std::chrono::milliseconds bound)
{
    std::string received;
    auto const end = Clock::now() + bound;
    while (Clock::now() < end) {
        pollfd entry { fd, POLLIN, 0 };
        if (::poll(&entry, 1, 20) <= 0)
            continue;
        char buffer[512];
        ssize_t const got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return received;
        received.append(buffer, static_cast<size_t>(got));
    }
    return std::nullopt;
}

struct Served {
    TestSupport::TemporaryDirectory folder;
    std::filesystem::path socket = folder.path() / "instance.socket";
    std::vector<std::vector<std::string>> received;
    std::vector<bool> onMainThread;
    InstanceServer server;

    explicit Served(InstanceServer::Limits limits = InstanceServer::Limits(), uid_t allowedUser = ::geteuid())
        : server(
            [this](std::vector<std::string> urls) {
                onMainThread.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
                received.push_back(std::move(urls));
            },
            limits, allowedUser)
    {
    }
};

}

TEST(InstanceServer, DeliversTheURLsOfALaterStartOnTheMainThread)
{
    Served served;
    ASSERT_EQ(served.server.listen(served.socket), std::nullopt);
    std::vector<std::string> const urls { "pupnik://demo/happy", "pupnik://debug/status" };
    auto const outcome = whileServing([&] { return InstanceClient::handOver(served.socket, urls); });
    EXPECT_TRUE(outcome.delivered) << outcome.problem;
    ASSERT_TRUE(spinUntil([&] { return !served.received.empty(); }));
    EXPECT_EQ(served.received, std::vector<std::vector<std::string>> { urls });
    EXPECT_EQ(served.onMainThread, std::vector<bool> { true });
    EXPECT_TRUE(spinUntil([&] { return served.server.clientCount() == 0; }));
}

TEST(InstanceServer, ReplacesTheSocketFileOfACrashedRunButNothingElse)
{
    Served served;
    // Bound and never closed by its server, as a crash leaves it.
    {
        FileDescriptor stale(::socket(AF_UNIX, SOCK_STREAM, 0));
        auto const address = addressOf(served.socket);
        ASSERT_EQ(::bind(stale.get(), reinterpret_cast<sockaddr const*>(&address), sizeof address), 0);
    }
    ASSERT_TRUE(std::filesystem::is_socket(served.socket));
    ASSERT_EQ(served.server.listen(served.socket), std::nullopt);
    auto const outcome = whileServing([&] { return InstanceClient::handOver(served.socket, { "pupnik://demo/off" }); });
    EXPECT_TRUE(outcome.delivered) << outcome.problem;

    // A second server finds the first one listening and leaves it be.
    InstanceServer second([](std::vector<std::string>) {});
    auto const taken = second.listen(served.socket);
    ASSERT_TRUE(taken);
    EXPECT_NE(taken->find("another process listens at"), std::string::npos) << *taken;

    auto const file = served.folder.path() / "notes.txt";
    std::ofstream(file) << "keep";
    auto const refused = second.listen(file);
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->find("something other than a socket"), std::string::npos) << *refused;
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
}

TEST(InstanceServer, RemovesItsSocketWhenItEnds)
{
    TestSupport::TemporaryDirectory folder;
    auto const socket = folder.path() / "instance.socket";
    {
        InstanceServer server([](std::vector<std::string>) {});
        ASSERT_EQ(server.listen(socket), std::nullopt);
        EXPECT_TRUE(std::filesystem::is_socket(socket));
    }
    EXPECT_FALSE(std::filesystem::exists(socket));
}

TEST(InstanceServer, DropsASilentClientAtTheDeadlineAndServesOthersMeanwhile)
{
    Served served({ .readDeadline = 500ms, .maxClients = 8 });
    ASSERT_EQ(served.server.listen(served.socket), std::nullopt);
    auto silent = connectTo(served.socket);
    ASSERT_TRUE(silent.isValid());
    ASSERT_TRUE(spinUntil([&] { return served.server.clientCount() == 1; }));

    auto const outcome = whileServing([&] { return InstanceClient::handOver(served.socket, { "pupnik://demo/run" }); });
    EXPECT_TRUE(outcome.delivered) << outcome.problem;
    EXPECT_TRUE(spinUntil([&] { return served.received.size() == 1; }));

    auto const start = Clock::now();
    auto const ended = whileServing([&] { return readToEnd(silent.get(), 5s); });
    EXPECT_EQ(ended, std::optional<std::string>(""));
    EXPECT_GE(Clock::now() - start, 200ms);
    EXPECT_TRUE(spinUntil([&] { return served.server.clientCount() == 0; }));
    EXPECT_EQ(served.received.size(), 1u);
}

TEST(InstanceServer, RefusesWhatBreaksTheBoundsWithoutDeliveringAnything)
{
    Served served;
    ASSERT_EQ(served.server.listen(served.socket), std::nullopt);
    std::string tooMany(InstanceMessage::header);
    for (int i = 0; i < 65; ++i)
        tooMany += "pupnik://demo/run\n";
    struct Case {
        char const* name;
        std::string sent;
        char const* answer;
    } const cases[] = {
        // Megabytes without an end: read no further than the bound, then refused.
        { "megabytes", std::string(InstanceMessage::header) + std::string(8 * 1024 * 1024, 'a'),
            "refused: the message is larger than 64 KiB\n" },
        { "too many URLs", tooMany + "\n", "refused: more than 64 URLs\n" },
        { "another protocol", "GET / HTTP/1.1\r\n\r\n", "refused: the message is malformed\n" },
    };
    for (auto const& c : cases) {
        auto const answer = whileServing([&] {
            auto client = connectTo(served.socket);
            // The server stops reading and closes: the rest of a large message cannot be sent.
            size_t sent = 0;
            while (sent < c.sent.size()) {
                ssize_t const written = ::send(client.get(), c.sent.data() + sent, c.sent.size() - sent, MSG_NOSIGNAL);
                if (written <= 0)
                    break;
                sent += static_cast<size_t>(written);
            }
            return readToEnd(client.get(), 5s);
        });
        // A server that closes with unread bytes resets the connection, which may lose its answer.
        ASSERT_TRUE(answer) << c.name;
        if (!answer->empty()) {
            EXPECT_EQ(*answer, c.answer) << c.name;
        }
        EXPECT_TRUE(spinUntil([&] { return served.server.clientCount() == 0; })) << c.name;
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(served.received.empty());
}

TEST(InstanceServer, TurnsAwayClientsBeyondTheLimitAtOnce)
{
    Served served({ .readDeadline = 10s, .maxClients = 2 });
    ASSERT_EQ(served.server.listen(served.socket), std::nullopt);
    auto first = connectTo(served.socket);
    auto second = connectTo(served.socket);
    ASSERT_TRUE(spinUntil([&] { return served.server.clientCount() == 2; }));

    auto const start = Clock::now();
    auto const outcome = whileServing([&] { return InstanceClient::handOver(served.socket, { "pupnik://demo/run" }); });
    EXPECT_FALSE(outcome.delivered);
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_EQ(served.server.clientCount(), 2);

    first.reset();
    ASSERT_TRUE(spinUntil([&] { return served.server.clientCount() == 1; }));
    auto const later = whileServing([&] { return InstanceClient::handOver(served.socket, { "pupnik://demo/run" }); });
    EXPECT_TRUE(later.delivered) << later.problem;
}

TEST(InstanceServer, HearsNoOtherUser)
{
    // The peer's user is checked against the one allowed: here a user the test does not run as.
    Served served(InstanceServer::Limits(), ::geteuid() + 1);
    ASSERT_EQ(served.server.listen(served.socket), std::nullopt);
    auto const outcome = whileServing([&] { return InstanceClient::handOver(served.socket, { "pupnik://demo/happy" }, 1s); });
    EXPECT_FALSE(outcome.delivered);
    QCoreApplication::processEvents();
    EXPECT_TRUE(served.received.empty());
    EXPECT_EQ(served.server.clientCount(), 0);
}

TEST(InstanceClient, WaitsForAServerStillStartingThenGivesUp)
{
    Served served;
    QTimer::singleShot(300ms, [&] { served.server.listen(served.socket); });
    auto const outcome = whileServing([&] { return InstanceClient::handOver(served.socket, { "pupnik://demo/happy" }); });
    EXPECT_TRUE(outcome.delivered) << outcome.problem;

    auto const start = Clock::now();
    auto const nobody = InstanceClient::handOver(served.folder.path() / "nobody.socket", { "pupnik://demo/happy" }, 400ms);
    EXPECT_FALSE(nobody.delivered);
    EXPECT_GE(Clock::now() - start, 400ms);
    EXPECT_NE(nobody.problem.find("cannot connect to"), std::string::npos) << nobody.problem;

    auto const unsound = InstanceClient::handOver(served.socket, { "pupnik://demo/ happy" });
    EXPECT_FALSE(unsound.delivered);
    EXPECT_NE(unsound.problem.find("cannot be handed over"), std::string::npos) << unsound.problem;
}
