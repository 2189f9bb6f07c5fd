#pragma once

#include "shared/StatusTransport.hpp"

namespace PawletShared {

// The transport when none is configured: it reports unavailable("noTransport") on every start,
// synchronously, and never delivers a snapshot.
class IdleTransport final : public StatusTransport {
public:
    void start() override;
    void stop() override { }
    void refresh() override { }
};

}
