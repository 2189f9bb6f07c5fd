#pragma once

#include <QDialog>

#include <functional>

namespace Pupnik {

class OnboardingView;

// The floating welcome window around an OnboardingView. Escape acts as the later button; the close
// box only hides the window, which stays as it is for the next time it is shown.
class OnboardingWindow final : public QDialog {
    Q_OBJECT

public:
    explicit OnboardingWindow(std::function<void()> onEscape);

    // Replaces the content (the old view goes once control returns to the event loop) and fits the
    // window to it.
    void setView(OnboardingView* view);
    OnboardingView* view() const { return m_view; }
    // Centred on the primary screen.
    void center();

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<void()> m_onEscape;
    OnboardingView* m_view { nullptr };
};

}
