#include "agent-tool/TerminationSignals.hpp"

#include "PawletKit/MonotonicClock.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace AgentTool {

namespace {

constexpr int watched[] = { SIGTERM, SIGINT, SIGHUP };

sigset_t watchedSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : watched)
        sigaddset(&set, signal);
    return set;
}

}

TerminationSignals::TerminationSignals()
{
    sigset_t set = watchedSet();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
    m_signals = PawletKit::FileDescriptor(::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
}

TerminationSignals::~TerminationSignals()
{
    for (int signal : watched)
        ::signal(signal, SIG_IGN);
}

bool TerminationSignals::wait(int64_t milliseconds)
{
    if (m_arrived)
        return true;
    int64_t const deadline = PawletKit::MonotonicClock::milliseconds() + std::max<int64_t>(milliseconds, 0);
    for (;;) {
        int64_t left = std::max<int64_t>(deadline - PawletKit::MonotonicClock::milliseconds(), 0);
        int timeout = static_cast<int>(std::min<int64_t>(left, 1 << 30));
        if (!m_signals.isValid()) {
            // Without a signal descriptor the signals stay blocked and are still found pending.
            sigset_t pending;
            if (::sigpending(&pending) == 0)
                for (int signal : watched)
                    if (sigismember(&pending, signal))
                        return m_arrived = true;
            if (timeout == 0)
                return false;
            ::usleep(static_cast<useconds_t>(std::min(timeout, 100)) * 1000);
            continue;
        }
        pollfd entry { m_signals.get(), POLLIN, 0 };
        int ready = ::poll(&entry, 1, timeout);
        if (ready > 0)
            return m_arrived = true;
        if (ready == 0 || errno != EINTR || PawletKit::MonotonicClock::milliseconds() >= deadline)
            return false;
    }
}

}
