#include "Pupnik/OnboardingWindow.hpp"

#include "Pupnik/OnboardingView.hpp"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace Pupnik {

OnboardingWindow::OnboardingWindow(std::function<void()> onEscape)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
    , m_onEscape(std::move(onEscape))
{
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

void OnboardingWindow::setView(OnboardingView* view)
{
    if (m_view) {
        layout()->removeWidget(m_view);
        m_view->hide();
        m_view->deleteLater();
    }
    m_view = view;
    layout()->addWidget(view);
    // A child added to a window on screen would only appear on the next pass of the event loop.
    view->show();
    // No resizing: the window is exactly as large as its content.
    setFixedSize(OnboardingView::width, view->neededHeight());
}

void OnboardingWindow::center()
{
    auto screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    auto area = screen->availableGeometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

// QDialog rejects on Escape and when its close box is used; here only Escape gets this far.
void OnboardingWindow::reject()
{
    if (m_onEscape)
        m_onEscape();
}

void OnboardingWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    hide();
}

}
