#include "Pupnik/OnboardingView.hpp"

#include "app-core/Localized.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

namespace Pupnik {

namespace {

QString text(char const* key) { return QString::fromStdString(PupnikCore::localized(key)); }

// Texts are data from the tables: shown as they are, never as markup, wrapped rather than cut.
QLabel* wrappingLabel(QString const& content)
{
    auto label = new QLabel(content);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QFont scaled(QFont font, double factor, QFont::Weight weight)
{
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setWeight(weight);
    return font;
}

// Secondary text: the window's text colour faded towards its background.
QPalette secondary(QPalette palette)
{
    auto foreground = palette.color(QPalette::WindowText);
    auto background = palette.color(QPalette::Window);
    auto mix = [](int a, int b) { return (a * 3 + b * 2) / 5; };
    palette.setColor(QPalette::WindowText,
        QColor(mix(foreground.red(), background.red()), mix(foreground.green(), background.green()), mix(foreground.blue(), background.blue())));
    return palette;
}

}

OnboardingView::OnboardingView(std::function<void()> onConnect, std::function<void()> onLater, QWidget* parent)
    : QWidget(parent)
{
    setFixedWidth(width);
    auto column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(14);

    auto title = wrappingLabel(text("onboarding.title"));
    title->setFont(scaled(font(), 1.3, QFont::DemiBold));
    column->addWidget(title);
    column->addWidget(wrappingLabel(text("onboarding.intro")));

    auto points = new QWidget;
    points->setFont(scaled(font(), 0.92, QFont::Normal));
    points->setPalette(secondary(palette()));
    auto pointRows = new QVBoxLayout(points);
    pointRows->setContentsMargins(0, 0, 0, 0);
    pointRows->setSpacing(8);
    for (int number = 1; number <= pointCount; ++number) {
        auto row = new QHBoxLayout;
        row->setSpacing(8);
        auto bullet = new QLabel(QStringLiteral("•"));
        bullet->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        row->addWidget(bullet, 0, Qt::AlignTop);
        auto key = "onboarding.p" + std::to_string(number);
        row->addWidget(wrappingLabel(text(key.c_str())), 1);
        pointRows->addLayout(row);
    }
    column->addWidget(points);

    auto buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 4, 0, 0);
    buttons->addStretch(1);
    m_later = new QPushButton(text("onboarding.later"));
    m_connect = new QPushButton(text("onboarding.connect"));
    // Return always connects, whichever button has the focus; Space still presses the focused one.
    m_later->setAutoDefault(false);
    m_connect->setAutoDefault(false);
    m_connect->setDefault(true);
    buttons->addWidget(m_later);
    buttons->addWidget(m_connect);
    column->addLayout(buttons);

    connect(m_connect, &QPushButton::clicked, this, [onConnect = std::move(onConnect)] { onConnect(); });
    connect(m_later, &QPushButton::clicked, this, [onLater = std::move(onLater)] { onLater(); });
}

int OnboardingView::neededHeight() const
{
    auto height = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width) : -1;
    return height > 0 ? height : sizeHint().height();
}

}
