#pragma once

#include <QWidget>

#include <functional>

class QPushButton;

namespace Pupnik {

// The welcome window's content: title, introduction, six points and the later and connect
// buttons. Every text is looked up when the view is built, so a new view speaks the current language.
class OnboardingView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int width = 440;
    static constexpr int padding = 22;
    static constexpr int pointCount = 6;

    OnboardingView(std::function<void()> onConnect, std::function<void()> onLater, QWidget* parent = nullptr);

    QPushButton* connectButton() const { return m_connect; }
    QPushButton* laterButton() const { return m_later; }
    // The height the content needs at its fixed width, wrapped lines included.
    int neededHeight() const;

private:
    QPushButton* m_connect { nullptr };
    QPushButton* m_later { nullptr };
};

}
