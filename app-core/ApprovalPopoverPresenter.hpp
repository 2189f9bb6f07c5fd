#pragma once

#include "PawletKit/ApprovalRequest.hpp"

#include <optional>
#include <string>
#include <vector>

namespace PupnikCore {

// What the approval popover asks of the window that shows it on screen: the desktop's popup, or a
// recording stand-in in tests.
class ApprovalPopoverPresenter {
public:
    virtual ~ApprovalPopoverPresenter() = default;

    // Also false after the window closed by itself (a click elsewhere).
    virtual bool isShown() const = 0;
    // Fills the window from the list and the request to show (the first one when no id matches).
    virtual void render(std::vector<PawletKit::ApprovalRequest> const& requests, std::optional<std::string> const& selectedID) = 0;
    // Brings the window up beside its anchor, in front of other applications.
    virtual void present() = 0;
    // Puts the keyboard focus on the deny button, the harmless one.
    virtual void focusDeny() = 0;
    virtual void dismiss() = 0;
};

}
