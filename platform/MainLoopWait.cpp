#include "platform/MainLoopWait.hpp"

namespace Platform {

bool InlineMainLoopWait::runOffMainThread(std::function<void()> const& work)
{
    if (m_running)
        return false;
    m_running = true;
    work();
    m_running = false;
    return true;
}

}
