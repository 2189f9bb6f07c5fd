#include "platform/Desktop/X11InputTime.hpp"

#include <QCoreApplication>
#include <QInputEvent>

namespace Platform {

X11InputTime::X11InputTime()
{
    if (auto* application = QCoreApplication::instance())
        application->installEventFilter(this);
}

X11InputTime::~X11InputTime()
{
    if (auto* application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

bool X11InputTime::eventFilter(QObject*, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // X server time in milliseconds, which wraps at 32 bits.
        if (auto stamp = static_cast<QInputEvent*>(event)->timestamp())
            m_time = static_cast<uint32_t>(stamp);
        break;
    default:
        break;
    }
    return false;
}

}
