#include "PawletKit/ChildProcessRunner.hpp"

#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/MonotonicClock.hpp"
#include "PawletKit/ProcessGroupSpawn.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace PawletKit {

namespace {

// While the child runs, its exit is looked for at least this often (in ms).
constexpr int exitCheckMs = 20;

struct Pipe {
    PawletKit::FileDescriptor read;
    PawletKit::FileDescriptor write;

    bool open()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        read = PawletKit::FileDescriptor(fds[0]);
        write = PawletKit::FileDescriptor(fds[1]);
        ::fcntl(read.get(), F_SETFL, O_NONBLOCK);
        return true;
    }
};

void appendBounded(std::string& text, std::string_view chunk, size_t limit, bool& truncated)
{
    size_t room = text.size() < limit ? limit - text.size() : 0;
    text.append(chunk.substr(0, room));
    if (chunk.size() > room)
        truncated = true;
}

int waitFor(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    return status;
}

}

ProcessRunner::Result ChildProcessRunner::run(Request const& request) const
{
    Result result;
    Pipe output, errors;
    if (!output.open() || !errors.open()) {
        result.startError = errno;
        return result;
    }

    std::vector<std::string> arguments { request.executable.string() };
    arguments.insert(arguments.end(), request.arguments.begin(), request.arguments.end());
    std::vector<std::string> variables;
    for (auto const& [name, value] : request.environment)
        variables.push_back(name + "=" + value);
    auto const started = ProcessGroupSpawn::start(request.executable.string(), std::move(arguments), std::move(variables),
        ProcessGroupSpawn::Streams { std::nullopt, output.write.get(), errors.write.get() });
    pid_t const pid = started.pid;
    int const spawnError = started.error;
    output.write.reset();
    errors.write.reset();
    if (spawnError != 0) {
        result.startError = spawnError;
        return result;
    }

    struct Stream {
        PawletKit::FileDescriptor* fd;
        std::string* text;
    };
    std::array<Stream, 2> streams { Stream { &output.read, &result.standardOutput }, Stream { &errors.read, &result.standardError } };
    double const deadline = MonotonicClock::seconds() + std::max(0.0, request.timeout);
    double drainUntil = deadline;
    bool reaped = false;
    int status = 0;
    std::array<char, 16 * 1024> buffer {};

    for (;;) {
        if (!reaped && ::waitpid(pid, &status, WNOHANG) == pid) {
            reaped = true;
            drainUntil = std::min(deadline, MonotonicClock::seconds() + pipeGraceSeconds);
        }
        bool anyOpen = std::any_of(streams.begin(), streams.end(), [](Stream const& s) { return s.fd->isValid(); });
        if (reaped && !anyOpen)
            break;
        double now = MonotonicClock::seconds();
        if (!reaped && now >= deadline) {
            ::kill(-pid, SIGKILL);
            waitFor(pid);
            result.ending = Result::Ending::timedOut;
            return result;
        }
        if (reaped && now >= drainUntil) {
            // What the program left behind still holds the pipes; nothing of it may outlive the run.
            ::kill(-pid, SIGKILL);
            break;
        }

        double until = reaped ? drainUntil : deadline;
        // Clamped while still a double: a time limit of days, or an infinite one, fits no int.
        double const capMs = reaped ? pipeGraceSeconds * 1000 : exitCheckMs;
        int const waitMs = static_cast<int>(std::clamp(std::ceil((until - now) * 1000), 0.0, capMs));
        std::array<pollfd, 2> fds {};
        std::array<Stream*, 2> polled {};
        nfds_t count = 0;
        for (auto& stream : streams) {
            if (!stream.fd->isValid())
                continue;
            fds[count] = pollfd { stream.fd->get(), POLLIN, 0 };
            polled[count++] = &stream;
        }
        int ready = ::poll(fds.data(), count, waitMs);
        if (ready <= 0)
            continue;
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0)
                continue;
            ssize_t got = ::read(fds[i].fd, buffer.data(), buffer.size());
            if (got > 0)
                appendBounded(*polled[i]->text, std::string_view(buffer.data(), static_cast<size_t>(got)), request.maxOutputBytes, result.outputTruncated);
            else if (got == 0 || (errno != EINTR && errno != EAGAIN))
                polled[i]->fd->reset();
        }
    }

    if (WIFSIGNALED(status)) {
        result.ending = Result::Ending::signalled;
        result.status = WTERMSIG(status);
    } else {
        result.ending = Result::Ending::exited;
        result.status = WEXITSTATUS(status);
    }
    return result;
}

}
