#pragma once

#include "PawletKit/ApprovalRequest.hpp"
#include "PawletKit/SessionTarget.hpp"
#include "app-core/MenuModel.hpp"

#include <vector>

namespace Pupnik {

class CloudKitPublisher;
class EngineDriver;
class MenuBarController;
class PetController;

// What the debug reports read of the running application. The parts are absent until launch has
// built them (the publisher also when cloud publishing is off).
class DebugReportSource {
public:
    virtual PupnikCore::MenuModel makeMenuModel() = 0;
    virtual std::vector<PawletKit::SessionTarget> waitingTargets() const = 0;
    virtual std::vector<PawletKit::ApprovalRequest> pendingApprovals() const = 0;
    virtual PetController* pet() = 0;
    virtual EngineDriver* driver() = 0;
    virtual CloudKitPublisher* publisher() = 0;
    virtual MenuBarController* menuBar() = 0;
    virtual bool hooksUpgradeNeeded() const = 0;
    virtual bool systemOutputSilent() const = 0;

protected:
    ~DebugReportSource() = default;
};

}
