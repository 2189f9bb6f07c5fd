#pragma once

#include "shared/PetSnapshot.hpp"
#include "shared/TransportAvailability.hpp"

#include <functional>

namespace PawletShared {

// A source of the pet's published state for displays that do not run the engine. The user sets
// both callbacks, then calls start(); it calls stop() before dropping the transport. Callbacks are
// read at the moment of each report; an unset one is skipped.
class StatusTransport {
public:
    using SnapshotCallback = std::function<void(PetSnapshot const&)>;
    using AvailabilityCallback = std::function<void(TransportAvailability const&)>;

    virtual ~StatusTransport() = default;

    SnapshotCallback onSnapshot;
    AvailabilityCallback onAvailability;

    virtual void start() = 0;
    // The transport may be started again.
    virtual void stop() = 0;
    // Delivers (or fetches) the current state once more without changing the schedule.
    virtual void refresh() = 0;
};

}
