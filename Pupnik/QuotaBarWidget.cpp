#include "Pupnik/QuotaBarWidget.hpp"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPalette>
#include <QPixmap>
#include <QStyle>

namespace Pupnik {

QuotaBarWidget::QuotaBarWidget(QWidget* parent)
    : QWidget(parent)
    , m_image(new QLabel(this))
    , m_text(new QLabel(this))
{
    auto* layout = new QHBoxLayout(this);
    // Line the bar up with the titles of the rows around it, which start after the check column.
    int const indent = style()->pixelMetric(QStyle::PM_SmallIconSize) + 2 * style()->pixelMetric(QStyle::PM_MenuHMargin) + 8;
    layout->setContentsMargins(indent, 2, 12, 2);
    layout->setSpacing(8);
    layout->addWidget(m_image);
    layout->addWidget(m_text);
    layout->addStretch(1);

    QFont font = QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont);
    font.setPointSizeF(std::max(font.pointSizeF(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).pointSizeF() * 0.85));
    m_text->setFont(font);
    QPalette palette = m_text->palette();
    QColor secondary = palette.color(QPalette::WindowText);
    secondary.setAlphaF(0.55f);
    palette.setColor(QPalette::WindowText, secondary);
    m_text->setPalette(palette);
}

void QuotaBarWidget::display(QImage const& bar, QString const& text)
{
    m_bar = bar;
    m_image->setPixmap(QPixmap::fromImage(bar));
    m_text->setText(text);
}

void QuotaBarWidget::clear()
{
    m_bar = QImage();
    m_image->clear();
    m_text->clear();
}

}
