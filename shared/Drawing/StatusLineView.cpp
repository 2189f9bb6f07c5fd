#include "shared/Drawing/StatusLineView.hpp"

#include "shared/CollarPalette.hpp"
#include "shared/DiscreetText.hpp"
#include "shared/Drawing/CollarRenderer.hpp"

#include <QFontMetricsF>
#include <QPen>
#include <algorithm>

namespace PawletShared {

namespace {

QString text(std::string const& utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

QString const separator = QString(QChar(0x00B7));

double textWidth(QFont const& font, QString const& string) { return QFontMetricsF(font).horizontalAdvance(string); }

}

StatusLineView::StatusLineView(std::string word, std::vector<StatusDot> dots, std::string line, QFont font, QColor color, double dotSize)
    : m_word(std::move(word))
    , m_dots(std::move(dots))
    , m_line(std::move(line))
    , m_font(std::move(font))
    , m_color(std::move(color))
    , m_dotSize(dotSize)
{
}

std::optional<StatusLineView> StatusLineView::fromFields(ActivityContentFields const& fields, QFont font, QColor color, double dotSize)
{
    if (!fields.statusLine)
        return std::nullopt;
    return StatusLineView(fields.statusWord.value_or(*fields.statusLine), fields.dots, *fields.statusLine, std::move(font), std::move(color), dotSize);
}

std::optional<StatusLineView> StatusLineView::fromSnapshot(PetSnapshot const& snapshot, bool hidden, Localizer const& localizer, QFont font, QColor color, double dotSize)
{
    if (hidden)
        return std::nullopt;
    return StatusLineView(DiscreetText::statusWord(snapshot, localizer), DiscreetText::dots(snapshot, false),
        DiscreetText::statusLine(snapshot, false, localizer).value_or(std::string()), std::move(font), std::move(color), dotSize);
}

QSizeF StatusLineView::sizeHint() const
{
    QFontMetricsF metrics(m_font);
    double width = metrics.horizontalAdvance(text(m_word));
    double height = std::max(metrics.height(), m_dotSize);
    if (!m_dots.empty()) {
        width += spacing + metrics.horizontalAdvance(separator);
        for (auto const& dot : m_dots)
            width += spacing + m_dotSize + dotSpacing + metrics.horizontalAdvance(QString::number(dot.count));
    }
    return QSizeF(width, height);
}

void StatusLineView::draw(QPainter& painter, QRectF const& bounds) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    double middle = bounds.center().y();

    // What the dots take, so that only the word gives way when space is short.
    QFontMetricsF metrics(m_font);
    double dotsWidth = 0;
    if (!m_dots.empty()) {
        dotsWidth += spacing + metrics.horizontalAdvance(separator);
        for (auto const& dot : m_dots)
            dotsWidth += spacing + m_dotSize + dotSpacing + metrics.horizontalAdvance(QString::number(dot.count));
    }
    double available = std::max(0.0, bounds.width() - dotsWidth);

    QFont wordFont = m_font;
    QString word = text(m_word);
    double natural = textWidth(wordFont, word);
    if (natural > available && natural > 0) {
        double factor = std::max(minimumScale, available / natural);
        if (wordFont.pointSizeF() > 0)
            wordFont.setPointSizeF(wordFont.pointSizeF() * factor);
        else if (wordFont.pixelSize() > 0)
            wordFont.setPixelSize(std::max(1, int(wordFont.pixelSize() * factor)));
        word = QFontMetricsF(wordFont).elidedText(word, Qt::ElideRight, available);
    }

    double x = bounds.left();
    auto drawText = [&](QFont const& font, QColor const& color, QString const& string) {
        QFontMetricsF fontMetrics(font);
        double width = fontMetrics.horizontalAdvance(string);
        painter.setFont(font);
        painter.setPen(color);
        painter.drawText(QRectF(x, middle - fontMetrics.height() / 2, width + 1, fontMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter, string);
        x += width;
    };

    drawText(wordFont, m_color, word);
    if (!m_dots.empty()) {
        x += spacing;
        QColor faint = m_color;
        faint.setAlphaF(float(faint.alphaF() * separatorOpacity));
        drawText(m_font, faint, separator);
        for (auto const& dot : m_dots) {
            x += spacing;
            QRectF disc(x, middle - m_dotSize / 2, m_dotSize, m_dotSize);
            painter.setPen(Qt::NoPen);
            painter.setBrush(CollarRenderer::color(dot.color()));
            painter.drawEllipse(disc);
            // The border lies inside the disc.
            double borderWidth = std::max(0.13 * m_dotSize, 0.5);
            if (borderWidth < m_dotSize) {
                QPen border(CollarRenderer::color(CollarPalette::outline, dotOutlineOpacity));
                border.setWidthF(borderWidth);
                painter.setPen(border);
                painter.setBrush(Qt::NoBrush);
                painter.drawEllipse(disc.adjusted(borderWidth / 2, borderWidth / 2, -borderWidth / 2, -borderWidth / 2));
            }
            x += m_dotSize + dotSpacing;
            drawText(m_font, m_color, QString::number(dot.count));
        }
    }
    painter.restore();
}

}
