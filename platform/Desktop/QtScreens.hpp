#pragma once

#include "platform/Desktop/Screens.hpp"

#include <QObject>

class QScreen;

namespace Platform {

// The screens Qt reports: frames from QScreen::geometry, visible frames from availableGeometry.
class QtScreens final : public QObject, public Screens {
public:
    explicit QtScreens(QObject* parent = nullptr);

    std::vector<Screen> all() const override;
    std::optional<Screen> main() const override;
    void setOnChange(std::function<void()> handler) override;
    std::optional<QImage> grab(ScreenRect const& area) const override;

protected:
    double flipLine() const override;

private:
    void watch(QScreen* screen);
    void changed();

    std::function<void()> m_onChange;
};

}
