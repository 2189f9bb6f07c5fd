#include "Pupnik/QuotaBarWidget.hpp"

#include "app-core/QuotaBarStyle.hpp"

#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPalette>
#include <QStyle>

namespace Pupnik {

class QuotaBarWidget::Bar final : public QWidget {
public:
    explicit Bar(QuotaBarWidget* owner)
        : QWidget(owner)
        , m_owner(owner)
    {
        setFixedSize(int(PupnikCore::QuotaBarStyle::width), int(PupnikCore::QuotaBarStyle::height));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (m_owner->m_bar.isNull())
            return;
        QPainter painter(this);
        painter.drawImage(QRectF(0, 0, width(), height()), m_owner->m_bar);
    }

private:
    QuotaBarWidget* m_owner;
};

QuotaBarWidget::QuotaBarWidget(QWidget* parent)
    : QWidget(parent)
    , m_image(new Bar(this))
    , m_text(new QLabel(this))
{
    auto* layout = new QHBoxLayout(this);
    // Line the bar up with the titles of the rows around it, which start after the check column.
    int const indent = style()->pixelMetric(QStyle::PM_SmallIconSize) + 2 * style()->pixelMetric(QStyle::PM_MenuHMargin) + 12;
    layout->setContentsMargins(indent, 2, 12, 2);
    layout->setSpacing(8);
    layout->addWidget(m_image, 0, Qt::AlignVCenter);
    layout->addWidget(m_text, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    QFont font = QApplication::font("QMenu");
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.85);
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, int(font.pixelSize() * 0.85)));
    m_text->setFont(font);
    QPalette palette = m_text->palette();
    for (auto group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled }) {
        QColor secondary = palette.color(QPalette::Active, QPalette::WindowText);
        secondary.setAlphaF(0.55f);
        palette.setColor(group, QPalette::WindowText, secondary);
    }
    m_text->setPalette(palette);
}

void QuotaBarWidget::display(QImage const& bar, QString const& text)
{
    m_bar = bar;
    m_text->setText(text);
    m_image->update();
}

void QuotaBarWidget::clear()
{
    m_bar = QImage();
    m_text->clear();
    m_image->update();
}

}
