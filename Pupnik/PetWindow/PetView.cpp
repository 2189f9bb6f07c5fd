#include "Pupnik/PetWindow/PetView.hpp"

#include "app-core/ClickClassifier.hpp"

#include <QBitmap>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace Pupnik {

namespace {

}

PetView::PetView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setFocusPolicy(Qt::NoFocus);
}

void PetView::repaint()
{
    ++m_repaintRequests;
    update();
}

void PetView::setImage(QImage const& image)
{
    // Frames are shared images; the same frame again costs nothing.
    if (image.cacheKey() == m_image.cacheKey())
        return;
    m_image = image;
    updateShape();
    repaint();
}

void PetView::setMirrored(bool mirrored)
{
    if (mirrored == m_mirrored)
        return;
    m_mirrored = mirrored;
    updateShape();
    repaint();
}

void PetView::setShapedToFrame(bool shaped)
{
    if (shaped == m_shapedToFrame)
        return;
    m_shapedToFrame = shaped;
    if (shaped)
        updateShape();
    else if (window())
        window()->clearMask();
}

QRectF PetView::frameTarget() const
{
    // The frame keeps its proportions, centred in the view.
    QSizeF const fitted = QSizeF(m_image.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
    return QRectF((width() - fitted.width()) / 2, (height() - fitted.height()) / 2, fitted.width(), fitted.height());
}

QRegion PetView::frameShape() const
{
    if (m_image.isNull() || width() <= 0 || height() <= 0)
        return {};
    auto const key = std::make_tuple(m_image.cacheKey(), m_mirrored, width(), height());
    if (auto found = m_shapes.find(key); found != m_shapes.end())
        return found->second;
    QImage drawn(size(), QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    QPainter painter(&drawn);
    if (m_mirrored) {
        painter.translate(width(), 0);
        painter.scale(-1, 1);
    }
    painter.drawImage(frameTarget(), m_image);
    painter.end();
    // Pixels at least half opaque belong to the pet.
    QRegion shape(QBitmap::fromImage(drawn.createAlphaMask(Qt::ThresholdAlphaDither)));
    // A clip has tens of frames; the table is only emptied if frames keep coming (skins, sizes).
    if (m_shapes.size() >= 512)
        m_shapes.clear();
    m_shapes.emplace(key, shape);
    return shape;
}

void PetView::updateShape()
{
    if (!m_shapedToFrame || !window())
        return;
    window()->setMask(frameShape());
}

void PetView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateShape();
}

void PetView::setPixelated(bool pixelated)
{
    if (pixelated == m_pixelated)
        return;
    m_pixelated = pixelated;
    repaint();
}

void PetView::paintEvent(QPaintEvent*)
{
    if (m_image.isNull() || width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !m_pixelated);
    QRectF const target = frameTarget();
    if (m_mirrored) {
        painter.translate(width(), 0);
        painter.scale(-1, 1);
    }
    painter.drawImage(target, m_image);
}

bool PetView::pressIsClick(QMouseEvent const& event) const
{
    QPointF const p = event.globalPosition();
    double distance = 0;
    if (m_downScreenPoint)
        distance = std::hypot(p.x() - m_downScreenPoint->x(), p.y() - m_downScreenPoint->y());
    // Whole milliseconds first, so a press of exactly 0.4 s is not pushed over the limit by rounding.
    double const duration = double(int64_t(event.timestamp() - m_downTimestamp)) / 1000.0;
    return PupnikCore::ClickClassifier::classify(distance, duration) == PupnikCore::ClickClassifier::Kind::click;
}

void PetView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        if (onRightClick)
            onRightClick(*event);
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton || !window())
        return;
    QPointF const p = event->globalPosition();
    m_dragOffset = p - QPointF(window()->geometry().topLeft());
    m_dragMoved = false;
    m_downScreenPoint = p;
    m_downTimestamp = event->timestamp();
    event->accept();
}

void PetView::mouseMoveEvent(QMouseEvent* event)
{
    if (!window() || !m_dragOffset || !(event->buttons() & Qt::LeftButton))
        return;
    if (!m_dragMoved) {
        if (pressIsClick(*event))
            return;
        m_dragMoved = true;
        if (onDragBegan)
            onDragBegan();
    }
    // The grabbed spot stays under the pointer.
    QPointF const origin = event->globalPosition() - *m_dragOffset;
    window()->move(QPoint(int(std::lround(origin.x())), int(std::lround(origin.y()))));
}

void PetView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (!window() || !m_dragOffset) {
        m_dragOffset.reset();
        m_downScreenPoint.reset();
        return;
    }
    if (m_dragMoved) {
        if (onDragEnded)
            onDragEnded(window()->geometry());
    } else if (pressIsClick(*event)) {
        if (onClick)
            onClick(*event);
    }
    m_dragOffset.reset();
    m_downScreenPoint.reset();
}

}
