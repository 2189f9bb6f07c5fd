#pragma once

#include "PawletKit/ApprovalRequest.hpp"
#include "PawletKit/Date.hpp"
#include "PawletKit/SessionTarget.hpp"
#include "app-core/Localizer.hpp"
#include "app-core/MenuModel.hpp"
#include "app-core/SyncStatus.hpp"
#include "platform/TimeZone.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace PupnikCore {

// What the application tells about itself when asked from outside (the status dump): the facts are
// gathered by the delegate at one moment, the lines made here.
struct StatusReport {
    // What the engine driver has seen; absent in demo mode and while launching.
    struct Driver {
        int64_t claudeEvents { 0 };
        int64_t codexEvents { 0 };
        int64_t processEvents { 0 };
        bool codexAvailable { false };
        bool codexEnabled { false };
        std::string codexDirectory;
        std::string codexStatus;
        std::vector<std::string> codexTracked;
    };

    PawletKit::Date now;
    int64_t pid { 0 };
    // The pet exists: launch has got that far.
    bool launched { false };
    std::string language;
    std::optional<std::string> languageChoice;
    std::optional<std::string> languageOverride;
    MenuModel model;
    bool systemOutputSilent { false };
    // Absent when nothing publishes.
    std::optional<SyncStatus> cloud;
    std::optional<Driver> driver;
    std::vector<PawletKit::SessionTarget> waiting;
    std::vector<PawletKit::ApprovalRequest> approvals;
    bool popoverShown { false };
    bool hooksUpgradeNeeded { false };

    std::vector<std::string> lines(Localizer const& localizer, Platform::TimeZone const& zone) const;
    // The lines, each ended by a line feed.
    std::string text(Localizer const& localizer, Platform::TimeZone const& zone) const;
};

}
