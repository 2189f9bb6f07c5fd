#pragma once

#include <QImage>
#include <QLabel>
#include <QString>
#include <QWidget>

namespace Pupnik {

// The body of a menu usage row: the bar image and, beside it, the usage text in a small,
// subdued font. The row carries no action, yet its bar keeps its colours.
class QuotaBarWidget final : public QWidget {
    Q_OBJECT

public:
    explicit QuotaBarWidget(QWidget* parent = nullptr);

    void display(QImage const& bar, QString const& text);
    void clear();

    QImage bar() const { return m_bar; }
    QString text() const { return m_text->text(); }

private:
    // Draws the bar itself: a label would grey it out in the disabled row.
    class Bar;

    QImage m_bar;
    QWidget* m_image;
    QLabel* m_text;
};

}
