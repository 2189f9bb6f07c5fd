#include "platform/Desktop/SignalWatcher.hpp"

#include <cerrno>
#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace Platform {

SignalWatcher::SignalWatcher(QObject* parent)
    : QObject(parent)
{
}

SignalWatcher::~SignalWatcher()
{
    m_notifier.reset();
    sigset_t set;
    sigemptyset(&set);
    for (auto const& [signal, handler] : m_handlers)
        sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void SignalWatcher::blockInThisThread(std::initializer_list<int> signalNumbers)
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : signalNumbers)
        sigaddset(&set, signal);
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool SignalWatcher::watch(int signal, std::function<void()> handler)
{
    m_handlers[signal] = std::move(handler);
    if (rebuild())
        return true;
    m_handlers.erase(signal);
    rebuild();
    return false;
}

bool SignalWatcher::rebuild()
{
    sigset_t set;
    sigemptyset(&set);
    for (auto const& [signal, handler] : m_handlers)
        sigaddset(&set, signal);
    if (::sigprocmask(SIG_BLOCK, &set, nullptr) != 0)
        return false;
    int fd = ::signalfd(m_fd.isValid() ? m_fd.get() : -1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0)
        return false;
    if (!m_fd.isValid()) {
        m_fd = PawletKit::FileDescriptor(fd);
        m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { readSignals(); });
    }
    return true;
}

void SignalWatcher::readSignals()
{
    signalfd_siginfo info {};
    for (;;) {
        ssize_t got = ::read(m_fd.get(), &info, sizeof info);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != ssize_t(sizeof info))
            return;
        auto found = m_handlers.find(int(info.ssi_signo));
        if (found != m_handlers.end() && found->second)
            found->second();
    }
}

}
