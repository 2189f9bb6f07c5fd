#include "app-core/ApprovalPopover.hpp"

#include "app-core/ApprovalClickGuard.hpp"
#include "platform/Log.hpp"

#include <algorithm>

namespace PupnikCore {

ApprovalPopover::ApprovalPopover(Platform::Clock const& clock)
    : m_clock(clock)
{
}

PawletKit::ApprovalRequest const* ApprovalPopover::pick(std::vector<PawletKit::ApprovalRequest> const& requests, std::optional<std::string> const& id)
{
    if (id) {
        auto const found = std::find_if(requests.begin(), requests.end(), [&](auto const& request) { return request.id == *id; });
        if (found != requests.end())
            return &*found;
    }
    return requests.empty() ? nullptr : &requests.front();
}

bool ApprovalPopover::selectionIsListed() const
{
    return m_selectedID && std::any_of(m_requests.begin(), m_requests.end(), [&](auto const& request) { return request.id == *m_selectedID; });
}

void ApprovalPopover::render()
{
    if (!m_presenter)
        return;
    auto const* selected = selectedRequest();
    m_presenter->render(m_requests, selected ? std::optional(selected->id) : std::nullopt);
}

void ApprovalPopover::show(std::vector<PawletKit::ApprovalRequest> const& requests)
{
    if (requests.empty())
        return;
    m_requests = requests;
    show();
}

void ApprovalPopover::show()
{
    if (m_requests.empty())
        return;
    // Reopening keeps the earlier selection while its request still waits.
    if (!selectionIsListed())
        m_selectedID = m_requests.front().id;
    render();
    if (!isShown()) {
        m_shownAt = m_clock.monotonic();
        if (m_presenter)
            m_presenter->present();
    }
    if (m_presenter)
        m_presenter->focusDeny();
}

void ApprovalPopover::update(std::vector<PawletKit::ApprovalRequest> const& requests)
{
    m_requests = requests;
    if (!isShown())
        return;
    if (m_requests.empty()) {
        m_presenter->dismiss();
        return;
    }
    if (!selectionIsListed()) {
        // Another request moved under the buttons: it gets a settle window of its own.
        m_selectedID = m_requests.front().id;
        m_shownAt = m_clock.monotonic();
    }
    render();
}

void ApprovalPopover::select(std::string const& id)
{
    if (m_selectedID == id)
        return;
    m_selectedID = id;
    m_shownAt = m_clock.monotonic();
    render();
}

void ApprovalPopover::decide(PawletKit::ApprovalDecision decision)
{
    auto const* selected = selectedRequest();
    if (!selected)
        return;
    if (!m_shownAt || !ApprovalClickGuard::allows(*m_shownAt, m_clock.monotonic())) {
        Platform::Log::line("approval: ignored a " + std::string(decision.rawValue()) + " that arrived within the settle window");
        return;
    }
    // The answer travels through the driver, which hands the shortened list back into update() before
    // onDecide returns; both the id and the count must be taken before that.
    std::string const id = selected->id;
    size_t const listed = m_requests.size();
    if (onDecide)
        onDecide(id, decision);
    if (listed < 2 && isShown())
        m_presenter->dismiss();
}

void ApprovalPopover::openTerminal()
{
    auto const* selected = selectedRequest();
    if (!selected)
        return;
    PawletKit::ApprovalRequest const request = *selected;
    if (isShown())
        m_presenter->dismiss();
    if (onOpenTerminal)
        onOpenTerminal(request);
}

bool ApprovalPopover::handleEscape()
{
    if (!isShown())
        return false;
    m_presenter->dismiss();
    return true;
}

}
