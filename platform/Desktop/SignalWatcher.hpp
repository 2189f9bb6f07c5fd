#pragma once

#include "PawletKit/FileDescriptor.hpp"

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>

namespace Platform {

// Delivers signals to the event loop: the signals are blocked for the whole process and read from a
// signalfd, so a handler runs on the main thread like any other event, never inside a signal.
// Create it before any other thread starts (threads inherit the blocked mask).
class SignalWatcher final : public QObject {
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

    // Blocks the signals in the calling thread, so that threads started later (Qt starts some with
    // its application object) inherit the mask and never take a signal meant for the watcher.
    static void blockInThisThread(std::initializer_list<int> signalNumbers);

    // Starts catching the signal; false when the signalfd cannot be made.
    bool watch(int signal, std::function<void()> handler);
    bool isWatching(int signal) const { return m_handlers.contains(signal); }

private:
    void readSignals();
    bool rebuild();

    std::map<int, std::function<void()>> m_handlers;
    PawletKit::FileDescriptor m_fd;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}
