#pragma once

#include <QObject>
#include <cstdint>

namespace Platform {

// The time of the user's last press or release of a key or button in this application's windows,
// as a window manager expects it on requests made on the user's behalf. On X11, Qt stamps input
// events with the X server's time. Watches the application's events from construction on; 0 until
// the first press.
class X11InputTime final : public QObject {
public:
    X11InputTime();
    ~X11InputTime() override;

    uint32_t lastInputTime() const { return m_time; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    uint32_t m_time { 0 };
};

}
