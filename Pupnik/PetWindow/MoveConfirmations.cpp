#include "Pupnik/PetWindow/MoveConfirmations.hpp"

#include <QCoreApplication>
#include <xcb/xcb.h>

namespace Pupnik {

MoveConfirmations::MoveConfirmations()
{
    if (auto* application = QCoreApplication::instance())
        application->installNativeEventFilter(this);
}

void MoveConfirmations::expect(uint32_t window, std::optional<QRect> place)
{
    m_window = window;
    m_place = place;
}

bool MoveConfirmations::nativeEventFilter(QByteArray const& eventType, void* message, qintptr*)
{
    if (!m_place || m_window == 0 || eventType != "xcb_generic_event_t")
        return false;
    auto const* event = static_cast<xcb_generic_event_t const*>(message);
    // The window manager's own word (a sent event, in root coordinates), not the server's.
    constexpr uint8_t sentEvent = 0x80;
    if ((event->response_type & ~sentEvent) != XCB_CONFIGURE_NOTIFY || !(event->response_type & sentEvent))
        return false;
    auto const* configure = reinterpret_cast<xcb_configure_notify_event_t const*>(event);
    if (configure->window != m_window || QRect(configure->x, configure->y, configure->width, configure->height) != *m_place)
        return false;
    if (onKeptBack)
        onKeptBack();
    return true;
}

}
