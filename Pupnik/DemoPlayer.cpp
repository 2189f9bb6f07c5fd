#include "Pupnik/DemoPlayer.hpp"

namespace Pupnik {

DemoPlayer::DemoPlayer(Platform::Scheduler& scheduler, std::optional<PupnikCore::Clip> launchClip, Hooks hooks)
    : m_scheduler(scheduler)
    , m_launchClip(launchClip)
    , m_hooks(std::move(hooks))
{
}

void DemoPlayer::play(PupnikCore::Clip clip, std::optional<double> seconds)
{
    m_timer.reset();
    m_clip = clip;
    if (m_hooks.show)
        m_hooks.show(clip);
    // The timer is ours: it ends with the player.
    if (seconds)
        m_timer = m_scheduler.after(*seconds, [this] { stop(); });
}

void DemoPlayer::stop()
{
    m_timer.reset();
    m_clip = m_launchClip;
    if (m_clip) {
        if (m_hooks.show)
            m_hooks.show(*m_clip);
    } else if (m_hooks.showLive) {
        m_hooks.showLive();
    }
}

}
