#include "platform/InstanceClient.hpp"

#include "PawletKit/FileDescriptor.hpp"
#include "platform/InstanceMessage.hpp"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace Platform {

namespace {

using Clock = std::chrono::steady_clock;

// Rounded up: a part of a millisecond left still counts, so the client never gives up early.
int millisecondsLeft(Clock::time_point deadline)
{
    auto const left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the event on the descriptor; false at the deadline or on an error.
bool await(int fd, short events, Clock::time_point deadline)
{
    while (true) {
        pollfd entry { fd, events, 0 };
        int const ready = ::poll(&entry, 1, millisecondsLeft(deadline));
        if (ready > 0)
            return true;
        if (ready == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}

InstanceClient::Outcome failure(std::string problem) { return { false, std::move(problem) }; }

}

InstanceClient::Outcome InstanceClient::handOver(
    std::filesystem::path const& socket, std::vector<std::string> const& urls, std::chrono::milliseconds deadlineAfter)
{
    auto const message = InstanceMessage::encode(urls);
    if (!message)
        return failure("the URLs cannot be handed over (at most 64 URLs in 64 KiB, each without spaces or control characters)");
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (socket.native().size() >= sizeof address.sun_path)
        return failure("the socket path " + socket.string() + " is too long");
    std::memcpy(address.sun_path, socket.c_str(), socket.native().size());

    auto const deadline = Clock::now() + deadlineAfter;
    PawletKit::FileDescriptor connection;
    while (true) {
        connection = PawletKit::FileDescriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!connection.isValid())
            return failure(std::string("cannot make a socket: ") + std::strerror(errno));
        if (::connect(connection.get(), reinterpret_cast<sockaddr const*>(&address), sizeof address) == 0)
            break;
        int const error = errno;
        // The running application may not listen yet, or has a full backlog of connections.
        bool const mayAppear = error == ENOENT || error == ECONNREFUSED || error == EAGAIN;
        if (!mayAppear || millisecondsLeft(deadline) == 0)
            return failure("cannot connect to " + socket.string() + ": " + std::strerror(error));
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50, millisecondsLeft(deadline))));
    }

    // Only the user's own application may receive the URLs.
    ucred peer {};
    socklen_t peerLength = sizeof peer;
    if (::getsockopt(connection.get(), SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) != 0 || peer.uid != ::geteuid())
        return failure("the socket " + socket.string() + " belongs to another user");

    size_t sent = 0;
    while (sent < message->size()) {
        if (!await(connection.get(), POLLOUT, deadline))
            return failure("the running Pupnik did not take the URLs in time");
        ssize_t const written = ::send(connection.get(), message->data() + sent, message->size() - sent, MSG_NOSIGNAL);
        if (written < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return failure(std::string("sending the URLs failed: ") + std::strerror(errno));
        }
        sent += static_cast<size_t>(written);
    }

    std::string answer;
    char buffer[256];
    while (answer.find('\n') == std::string::npos) {
        if (!await(connection.get(), POLLIN, deadline))
            return failure("the running Pupnik did not answer in time");
        ssize_t const got = ::recv(connection.get(), buffer, sizeof buffer, 0);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return failure(std::string("reading the answer failed: ") + std::strerror(errno));
        }
        if (got == 0)
            return failure("the running Pupnik closed the connection without an answer");
        answer.append(buffer, static_cast<size_t>(got));
        if (answer.size() > sizeof buffer)
            return failure("the running Pupnik answered something unexpected");
    }
    if (answer == InstanceMessage::accepted)
        return { true, {} };
    answer.erase(answer.find('\n'));
    return failure("the running Pupnik " + (answer.starts_with("refused: ") ? "refused the URLs: " + answer.substr(9) : "answered \"" + answer + "\""));
}

}
