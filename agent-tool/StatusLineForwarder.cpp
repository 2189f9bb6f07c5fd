#include "agent-tool/StatusLineForwarder.hpp"

#include "PawletKit/FileDescriptor.hpp"
#include "PawletKit/MonotonicClock.hpp"
#include "PawletKit/ProcessGroupSpawn.hpp"
#include "agent-tool/TerminationSignals.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace AgentTool {

namespace {

// Without a process descriptor, exits are found by looking every few milliseconds.
constexpr int64_t exitCheckMs = 10;

// A child of a parent that ignores SIGCHLD is reaped by the kernel at once, and its id could then be
// reused before the kill decision; this keeps SIGCHLD at its default for the call.
class DefaultChildSignal final {
public:
    DefaultChildSignal()
    {
        struct sigaction standard { };
        standard.sa_handler = SIG_DFL;
        sigemptyset(&standard.sa_mask);
        m_saved = ::sigaction(SIGCHLD, &standard, &m_previous) == 0;
    }
    ~DefaultChildSignal()
    {
        if (m_saved)
            ::sigaction(SIGCHLD, &m_previous, nullptr);
    }
    DefaultChildSignal(DefaultChildSignal const&) = delete;
    DefaultChildSignal& operator=(DefaultChildSignal const&) = delete;

private:
    struct sigaction m_previous { };
    bool m_saved { false };
};

// The running command: its id stays its own until it is reaped, which happens only after every
// signal has been sent.
class Child final {
public:
    explicit Child(pid_t pid)
        : m_pid(pid)
        , m_exitFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)))
    {
    }

    pid_t pid() const { return m_pid; }
    int exitFd() const { return m_exitFd.get(); }
    bool exited() const { return m_exited; }

    // True once the command has ended; it is left unreaped.
    bool checkExited()
    {
        if (!m_exited) {
            siginfo_t info {};
            m_exited = ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == m_pid;
        }
        return m_exited;
    }

    // The status to pass on; only for a command that has exited.
    int reap()
    {
        int status = 0;
        pid_t result;
        do
            result = ::waitpid(m_pid, &status, 0);
        while (result < 0 && errno == EINTR);
        if (result != m_pid)
            return 0;
        if (WIFSIGNALED(status))
            return 128 + WTERMSIG(status);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    }

    void signalGroup(int signal) const { ::kill(-m_pid, signal); }

    // Waits for the end of the command until the deadline; true when it has ended.
    bool waitForExit(int64_t deadline)
    {
        while (!checkExited()) {
            int64_t left = deadline - PawletKit::MonotonicClock::milliseconds();
            if (left <= 0)
                return false;
            if (m_exitFd.isValid()) {
                pollfd entry { m_exitFd.get(), POLLIN, 0 };
                ::poll(&entry, 1, static_cast<int>(std::min<int64_t>(left, 1 << 30)));
            } else {
                ::usleep(static_cast<useconds_t>(std::min(left, exitCheckMs)) * 1000);
            }
        }
        return true;
    }

private:
    pid_t m_pid;
    PawletKit::FileDescriptor m_exitFd;
    bool m_exited { false };
};

// Feeds the input and collects the output in one thread, so neither pipe can block the other.
class Exchange final {
public:
    Exchange(PawletKit::FileDescriptor input, std::string_view data, PawletKit::FileDescriptor output)
        : m_input(std::move(input))
        , m_data(data)
        , m_output(std::move(output))
    {
        for (int fd : { m_input.get(), m_output.get() })
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        if (m_data.empty())
            m_input.reset();
    }

    bool outputOpen() const { return m_output.isValid(); }
    std::string takeOutput() { return std::move(m_collected); }
    void close()
    {
        m_input.reset();
        m_output.reset();
    }

    // One wait of at most the timeout for the pipes or, when given, the command's exit descriptor and
    // the termination signals' descriptor.
    void step(int64_t timeoutMs, int exitFd, int signalFd)
    {
        std::array<pollfd, 4> entries {};
        size_t count = 0;
        if (m_input.isValid())
            entries[count++] = { m_input.get(), POLLOUT, 0 };
        if (m_output.isValid())
            entries[count++] = { m_output.get(), POLLIN, 0 };
        if (exitFd >= 0)
            entries[count++] = { exitFd, POLLIN, 0 };
        if (signalFd >= 0)
            entries[count++] = { signalFd, POLLIN, 0 };
        int timeout = static_cast<int>(std::clamp<int64_t>(timeoutMs, 0, 1 << 30));
        if (count == 0) {
            ::usleep(static_cast<useconds_t>(timeout) * 1000);
            return;
        }
        if (::poll(entries.data(), count, timeout) <= 0)
            return;
        for (size_t i = 0; i < count; ++i) {
            if (!entries[i].revents)
                continue;
            if (entries[i].fd == m_input.get())
                feed();
            else if (entries[i].fd == m_output.get())
                collect();
        }
    }

private:
    void feed()
    {
        ssize_t written = ::write(m_input.get(), m_data.data(), m_data.size());
        if (written < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (written <= 0) {
            // The command closed its input: what is left is not wanted.
            m_input.reset();
            return;
        }
        m_data.remove_prefix(static_cast<size_t>(written));
        if (m_data.empty())
            m_input.reset();
    }

    void collect()
    {
        std::array<char, 65'536> buffer;
        ssize_t count = ::read(m_output.get(), buffer.data(), buffer.size());
        if (count < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (count <= 0) {
            m_output.reset();
            return;
        }
        size_t room = StatusLineForwarder::maxOutputBytes - std::min(m_collected.size(), StatusLineForwarder::maxOutputBytes);
        m_collected.append(buffer.data(), std::min(room, static_cast<size_t>(count)));
    }

    PawletKit::FileDescriptor m_input;
    std::string_view m_data;
    PawletKit::FileDescriptor m_output;
    std::string m_collected;
};

std::string errorText(int error)
{
    return std::generic_category().message(error);
}

}

StatusLineForwarder::Outcome StatusLineForwarder::run(std::string const& command, std::string_view input, int64_t timeoutMs)
{
    Outcome outcome;
    int inputPipe[2];
    int outputPipe[2];
    if (::pipe2(inputPipe, O_CLOEXEC) != 0) {
        outcome.result = Result::spawnFailed;
        outcome.error = errorText(errno);
        return outcome;
    }
    PawletKit::FileDescriptor inputRead(inputPipe[0]);
    PawletKit::FileDescriptor inputWrite(inputPipe[1]);
    if (::pipe2(outputPipe, O_CLOEXEC) != 0) {
        outcome.result = Result::spawnFailed;
        outcome.error = errorText(errno);
        return outcome;
    }
    PawletKit::FileDescriptor outputRead(outputPipe[0]);
    PawletKit::FileDescriptor outputWrite(outputPipe[1]);

    DefaultChildSignal defaultChildSignal;
    // Held back from before the start, so that one arriving at any moment reaches the command's group.
    TerminationSignals signals;
    std::vector<std::string> environment;
    std::string const markPrefix = std::string(forwardedMark) + "=";
    for (char** entry = environ; entry && *entry; ++entry) {
        if (!std::string_view(*entry).starts_with(markPrefix))
            environment.emplace_back(*entry);
    }
    environment.push_back(markPrefix + "1");
    auto const started = PawletKit::ProcessGroupSpawn::start("/bin/sh", { "/bin/sh", "-c", command }, std::move(environment),
        PawletKit::ProcessGroupSpawn::Streams { inputRead.get(), outputWrite.get(), std::nullopt });
    if (started.error != 0) {
        outcome.result = Result::spawnFailed;
        outcome.error = errorText(started.error);
        return outcome;
    }
    pid_t const pid = started.pid;
    inputRead.reset();
    outputWrite.reset();

    Child child(pid);
    Exchange exchange(std::move(inputWrite), input, std::move(outputRead));
    int64_t const start = PawletKit::MonotonicClock::milliseconds();
    int64_t const deadline = start + timeoutMs;
    auto stepTimeout = [&](int64_t until) {
        int64_t left = until - PawletKit::MonotonicClock::milliseconds();
        bool const woken = (child.exitFd() >= 0 || child.exited()) && signals.descriptor() >= 0;
        return woken ? left : std::min(left, exitCheckMs);
    };
    // Still unreaped, so the group id cannot have been reused: whatever of the group is left goes.
    auto stopGroup = [&] {
        exchange.close();
        child.signalGroup(SIGTERM);
        child.waitForExit(PawletKit::MonotonicClock::milliseconds() + terminateGraceMs);
        child.signalGroup(SIGKILL);
        if (child.waitForExit(PawletKit::MonotonicClock::milliseconds() + killGraceMs))
            child.reap();
    };

    while (!child.checkExited() && PawletKit::MonotonicClock::milliseconds() < deadline && !signals.arrived())
        exchange.step(stepTimeout(deadline), child.exitFd(), signals.descriptor());

    if (child.exited() && !signals.arrived()) {
        int64_t const outputDeadline = PawletKit::MonotonicClock::milliseconds() + outputGraceMs;
        while (exchange.outputOpen() && PawletKit::MonotonicClock::milliseconds() < outputDeadline && !signals.arrived())
            exchange.step(stepTimeout(outputDeadline), -1, signals.descriptor());
    }
    if (signals.arrived()) {
        // The coding agent gave up on the status line; a background child may still hold the output.
        outcome.result = Result::interrupted;
        stopGroup();
        return outcome;
    }
    if (child.exited()) {
        exchange.close();
        outcome.status = child.reap();
        outcome.output = exchange.takeOutput();
        return outcome;
    }

    outcome.result = Result::timedOut;
    stopGroup();
    return outcome;
}

}
