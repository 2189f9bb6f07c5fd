#pragma once

#include <QAbstractNativeEventFilter>
#include <QRect>
#include <cstdint>
#include <functional>
#include <optional>

namespace Pupnik {

// Keeps from Qt the window manager's confirmations of a move made outside Qt. Qt would take each
// as news: record the place and ask the server for the window's frame extents, a round trip and
// two woken threads on every frame of a walking pet. Only the confirmation of the very place
// expected is kept back; anything else reaches Qt as before.
class MoveConfirmations final : public QAbstractNativeEventFilter {
public:
    MoveConfirmations();

    // The window and where it was last moved; none lets every confirmation through.
    void expect(uint32_t window, std::optional<QRect> place);
    // Told each time a confirmation was kept back: Qt's idea of the window's place now lags.
    std::function<void()> onKeptBack;

    bool nativeEventFilter(QByteArray const& eventType, void* message, qintptr* result) override;

private:
    uint32_t m_window { 0 };
    std::optional<QRect> m_place;
};

}
