#pragma once

#include "PawletKit/FileDescriptor.hpp"

#include <cstdint>

namespace AgentTool {

// Holds SIGTERM, SIGINT and SIGHUP back from the moment it is made, so that one arriving while a
// request is being posted is seen by the wait instead of killing the process with the request left
// behind. When it ends, the three signals are ignored until the process exits.
class TerminationSignals final {
public:
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(TerminationSignals const&) = delete;
    TerminationSignals& operator=(TerminationSignals const&) = delete;

    // Sleeps up to the given time; true as soon as one of the signals has arrived (and stays true).
    bool wait(int64_t milliseconds);
    bool arrived() { return wait(0); }
    // Readable once one of the signals is pending; -1 when none could be made (then only wait sees them).
    int descriptor() const { return m_signals.get(); }

private:
    PawletKit::FileDescriptor m_signals;
    bool m_arrived { false };
};

}
