#include "Pupnik/OnboardingWindowController.hpp"

#include "Pupnik/OnboardingView.hpp"
#include "Pupnik/OnboardingWindow.hpp"
#include "app-core/Localized.hpp"

namespace Pupnik {

namespace {

QString windowTitle() { return QString::fromStdString(PupnikCore::localized("onboarding.title")); }

}

OnboardingWindowController::OnboardingWindowController() = default;

OnboardingWindowController::~OnboardingWindowController()
{
    m_lifeGuard.end();
    delete m_window.data();
}

void OnboardingWindowController::show(std::function<void()> onConnect, std::function<void()> onLater)
{
    m_callbacks = Callbacks { std::move(onConnect), std::move(onLater) };
    if (!m_window) {
        m_window = new OnboardingWindow(m_lifeGuard.whileAlive([this] { press(Button::later); }));
        installView();
        m_window->center();
    }
    bringToFront();
}

void OnboardingWindowController::relocalize()
{
    if (!m_window)
        return;
    installView();
}

void OnboardingWindowController::close()
{
    if (!m_window)
        return;
    m_window->hide();
    // A button of the window may be what called us: the window goes once its signal has returned.
    m_window->deleteLater();
    m_window = nullptr;
}

void OnboardingWindowController::press(Button button)
{
    std::function<void()> callback;
    if (m_callbacks)
        callback = button == Button::connect ? m_callbacks->connect : m_callbacks->later;
    close();
    if (callback)
        callback();
}

void OnboardingWindowController::installView()
{
    auto pressing = [this](Button button) { return m_lifeGuard.whileAlive([this, button] { press(button); }); };
    m_window->setView(new OnboardingView(pressing(Button::connect), pressing(Button::later)));
    m_window->setWindowTitle(windowTitle());
}

void OnboardingWindowController::bringToFront()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

}
