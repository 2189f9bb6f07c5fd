#include "shared/DemoTransport.hpp"

namespace PawletShared {

DemoTransport::DemoTransport(double interval, std::optional<Clip> hold, std::optional<DemoAgents> holdAgents, Now now, Platform::Scheduler& mainThread)
    : m_interval(interval)
    , m_hold(hold)
    , m_holdAgents(holdAgents)
    , m_now(std::move(now))
    , m_mainThread(mainThread)
    , m_mainThreadID(std::this_thread::get_id())
    , m_anchor(std::make_shared<DemoTransport*>(this))
{
}

DemoTransport::~DemoTransport()
{
    m_timer.reset();
    *m_anchor = nullptr;
}

void DemoTransport::start()
{
    m_timer.reset();
    if (!deliver())
        return;
    if (m_hold)
        return;
    std::weak_ptr<DemoTransport*> anchor = m_anchor;
    m_timer = m_mainThread.repeating(m_interval, [anchor] {
        auto held = anchor.lock();
        if (held && *held)
            (*held)->advance();
    });
}

void DemoTransport::stop() { m_timer.reset(); }

void DemoTransport::refresh() { deliver(); }

void DemoTransport::advance()
{
    m_index = (m_index + 1) % cycleLength;
    deliver();
}

Clip DemoTransport::currentClip() const
{
    if (m_hold)
        return *m_hold;
    return clipCycle[size_t(m_index % int64_t(clipCycle.size()))];
}

DemoAgents DemoTransport::currentAgents() const
{
    if (m_holdAgents)
        return *m_holdAgents;
    return agentCycle[size_t(m_index % int64_t(agentCycle.size()))];
}

bool DemoTransport::deliver()
{
    PetSnapshot snapshot = demoSnapshot(currentClip(), m_now ? m_now() : PawletKit::Date::now(), currentAgents());
    // The anchor is held across both calls: an observer may drop the transport in the first one,
    // and then the second is not made.
    auto report = [snapshot](std::shared_ptr<DemoTransport*> const& held) {
        if (*held)
            if (auto onAvailability = (*held)->onAvailability)
                onAvailability(TransportAvailability::available());
        if (*held)
            if (auto onSnapshot = (*held)->onSnapshot)
                onSnapshot(snapshot);
    };
    if (std::this_thread::get_id() == m_mainThreadID) {
        auto held = m_anchor;
        report(held);
        return *held != nullptr;
    }
    std::weak_ptr<DemoTransport*> anchor = m_anchor;
    m_mainThread.post([anchor, report] {
        if (auto held = anchor.lock())
            report(held);
    });
    return true;
}

}
