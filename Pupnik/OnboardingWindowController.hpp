#pragma once

#include "Pupnik/LifeGuard.hpp"
#include "Pupnik/OnboardingWindow.hpp"

#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

namespace Pupnik {

// The first-run welcome window that offers the hook connection. One controller lives as long as
// the application; the window is made when first shown and dropped when a button is used. Main
// thread only.
class OnboardingWindowController final {
public:
    OnboardingWindowController();
    ~OnboardingWindowController();
    OnboardingWindowController(OnboardingWindowController const&) = delete;
    OnboardingWindowController& operator=(OnboardingWindowController const&) = delete;

    // Remembers the callbacks (replacing earlier ones) and brings the window to the front, making
    // it when there is none. Each button closes the window first and then runs its callback.
    void show(std::function<void()> onConnect, std::function<void()> onLater);
    // Looks every text up again in the current language; nothing without a window.
    void relocalize();
    // Takes the window away for good; the callbacks stay.
    void close();

    // The window while it exists (it may be hidden by its close box).
    OnboardingWindow* window() const { return m_window; }

private:
    struct Callbacks {
        std::function<void()> connect;
        std::function<void()> later;
    };
    enum class Button {
        connect,
        later,
    };

    void press(Button button);
    void installView();
    void bringToFront();

    QPointer<OnboardingWindow> m_window;
    std::optional<Callbacks> m_callbacks;
    // The window and its buttons may outlive the controller.
    LifeGuard m_lifeGuard;
};

}
