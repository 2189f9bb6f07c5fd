#include "Pupnik/PetWindow/MoveConfirmations.hpp"

#include <QByteArray>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace Pupnik;

namespace {

constexpr uint32_t petWindow = 0x400006;
constexpr uint8_t sentEvent = 0x80;

xcb_configure_notify_event_t configureNotify(bool sent, uint32_t window, QRect place)
{
    xcb_configure_notify_event_t event {};
    event.response_type = XCB_CONFIGURE_NOTIFY | (sent ? sentEvent : 0);
    event.event = window;
    event.window = window;
    event.x = int16_t(place.x());
    event.y = int16_t(place.y());
    event.width = uint16_t(place.width());
    event.height = uint16_t(place.height());
    return event;
}

}

// Only the window manager's word that the window stands where it was last moved is kept from Qt;
// anything Qt must hear of reaches it.
TEST(MoveConfirmations, KeepBackOnlyTheWindowManagersWordOnTheLastMove)
{
    QRect const moved(320, 678, 130, 96);
    struct Case {
        char const* what;
        std::optional<QRect> expected;
        QByteArray eventType;
        xcb_configure_notify_event_t event;
        bool keptBack;
    };
    xcb_configure_notify_event_t exposure = configureNotify(true, petWindow, moved);
    exposure.response_type = XCB_EXPOSE | sentEvent;
    Case const cases[] = {
        { "the window manager confirms the last move", moved, "xcb_generic_event_t", configureNotify(true, petWindow, moved), true },
        { "the server's own notice", moved, "xcb_generic_event_t", configureNotify(false, petWindow, moved), false },
        { "another window", moved, "xcb_generic_event_t", configureNotify(true, petWindow + 1, moved), false },
        { "an earlier move", moved, "xcb_generic_event_t", configureNotify(true, petWindow, moved.translated(-2, 0)), false },
        { "another size", moved, "xcb_generic_event_t", configureNotify(true, petWindow, moved.adjusted(0, 0, 10, 0)), false },
        { "no move outside Qt", std::nullopt, "xcb_generic_event_t", configureNotify(true, petWindow, moved), false },
        { "another kind of event", moved, "xcb_generic_event_t", exposure, false },
        { "another platform's event", moved, "windows_generic_MSG", configureNotify(true, petWindow, moved), false },
    };
    for (auto const& row : cases) {
        MoveConfirmations confirmations;
        int told = 0;
        confirmations.onKeptBack = [&] { ++told; };
        confirmations.expect(row.expected ? petWindow : 0, row.expected);
        auto event = row.event;
        EXPECT_EQ(confirmations.nativeEventFilter(row.eventType, &event, nullptr), row.keptBack) << row.what;
        EXPECT_EQ(told, row.keptBack ? 1 : 0) << row.what;
    }
}
