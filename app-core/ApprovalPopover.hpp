#pragma once

#include "PawletKit/ApprovalDecision.hpp"
#include "PawletKit/ApprovalRequest.hpp"
#include "app-core/ApprovalPopoverPresenter.hpp"
#include "platform/Clock.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace PupnikCore {

// The pending permission requests as the pet's popover shows them: the list, the selected request
// and the settle window that keeps a click meant for the pet from answering a request. It never
// touches the mailbox; answers leave through onDecide. Main thread only.
class ApprovalPopover final {
public:
    // The settle window is measured on the clock's monotonic time, which a wall-clock change cannot
    // shorten or stretch.
    explicit ApprovalPopover(Platform::Clock const& clock);

    ApprovalPopover(ApprovalPopover const&) = delete;
    ApprovalPopover& operator=(ApprovalPopover const&) = delete;

    // Called once per accepted allow or deny.
    std::function<void(std::string const& id, PawletKit::ApprovalDecision decision)> onDecide;
    // Called, after the popover has closed, when the user asks for the agent's terminal.
    std::function<void(PawletKit::ApprovalRequest const& request)> onOpenTerminal;

    // The window that shows the popover; none detaches it. The presenter must stay alive while attached.
    void attach(ApprovalPopoverPresenter* presenter) { m_presenter = presenter; }

    // Opens the popover on the list it holds, or refreshes it when already open; an empty list does nothing.
    void show();
    // The same on this list.
    void show(std::vector<PawletKit::ApprovalRequest> const& requests);
    // The latest pending requests, whether or not the popover is open.
    void update(std::vector<PawletKit::ApprovalRequest> const& requests);
    // A list row was picked.
    void select(std::string const& id);
    void decide(PawletKit::ApprovalDecision decision);
    void openTerminal();

    // Keys while the popover has the keyboard; true when the key was used (and goes no further).
    // Escape closes the popover.
    bool handleEscape();

    ApprovalPopoverPresenter* presenter() const { return m_presenter; }
    bool isShown() const { return m_presenter && m_presenter->isShown(); }
    std::vector<PawletKit::ApprovalRequest> const& requests() const { return m_requests; }
    std::optional<std::string> const& selectedID() const { return m_selectedID; }
    // Monotonic seconds at which the current settle window began.
    std::optional<double> shownAt() const { return m_shownAt; }
    // The request whose id is selected, else the first one; none for an empty list.
    PawletKit::ApprovalRequest const* selectedRequest() const { return pick(m_requests, m_selectedID); }

    static PawletKit::ApprovalRequest const* pick(std::vector<PawletKit::ApprovalRequest> const& requests, std::optional<std::string> const& id);

private:
    bool selectionIsListed() const;
    void render();

    Platform::Clock const& m_clock;
    ApprovalPopoverPresenter* m_presenter { nullptr };
    std::vector<PawletKit::ApprovalRequest> m_requests;
    std::optional<std::string> m_selectedID;
    std::optional<double> m_shownAt;
};

}
