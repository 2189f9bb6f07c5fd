#include "Pupnik/PetWindow/PetView.hpp"

#include "app-core/ClickClassifier.hpp"

#include <QBitmap>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <set>
#include <xcb/xcb.h>

namespace Pupnik {

PetView::PetView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setFocusPolicy(Qt::NoFocus);
}

bool PetView::drawOnServer(uint32_t window)
{
    if (m_server)
        return true;
    m_server = ServerFrames::open(window);
    if (!m_server)
        return false;
    // Qt's own outline of the window gives way to the server's.
    if (QWidget* top = this->window(); top && !top->mask().isEmpty())
        top->clearMask();
    m_server->setShaped(m_shapedToFrame);
    m_server->setSize(size());
    keepClipOnServer();
    return true;
}

void PetView::repaint()
{
    ++m_repaintRequests;
    if (m_server)
        present();
    else
        update();
}

void PetView::present()
{
    if (!m_server || m_image.isNull() || size().isEmpty())
        return;
    m_server->setSize(size());
    ServerFrames::Key const key { m_image.cacheKey(), m_mirrored };
    if (m_server->show(key))
        return;
    QImage const drawn = DrawnFrames::draw(m_image, size(), m_mirrored, m_pixelated);
    if (!m_server->upload(key, drawn) || !m_server->show(key))
        m_server->showUnkept(drawn);
}

void PetView::keepClipOnServer()
{
    if (!m_server || size().isEmpty())
        return;
    m_server->setSize(size());
    // The other facing too, so a turn at the edge uploads nothing.
    auto keepAll = [this] {
        for (bool mirrored : { m_mirrored, !m_mirrored }) {
            for (QImage const& frame : m_clip) {
                ServerFrames::Key const key { frame.cacheKey(), mirrored };
                if (!m_server->has(key) && !m_server->upload(key, DrawnFrames::draw(frame, size(), mirrored, m_pixelated)))
                    return false;
            }
        }
        return true;
    };
    if (keepAll())
        return;
    // The budget is spent: clips shown before make room for the one in force.
    std::set<qint64> inForce;
    for (QImage const& frame : m_clip)
        inForce.insert(frame.cacheKey());
    m_server->keepOnly(inForce);
    keepAll();
}

bool PetView::moveOnServer(QPoint topLeft)
{
    if (!m_server)
        return false;
    m_server->moveTo(topLeft.x(), topLeft.y());
    return true;
}

void PetView::setFrames(std::vector<QImage> const& frames)
{
    m_clip = frames;
    keepClipOnServer();
}

void PetView::releaseFrames(std::vector<QImage> const& frames)
{
    for (QImage const& frame : frames) {
        m_drawn.release(frame.cacheKey());
        if (m_server)
            m_server->release(frame.cacheKey());
    }
}

QImage PetView::drawnFrame() const
{
    return DrawnFrames::draw(m_image, size(), m_mirrored, m_pixelated);
}

void PetView::flush()
{
    if (!m_server)
        return;
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        xcb_flush(x11->connection());
}

void PetView::redraw()
{
    if (!m_server)
        return;
    present();
    flush();
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
    if (m_server) {
        m_server->setShaped(shaped);
        present();
        flush();
    } else if (shaped) {
        updateShape();
    } else if (window()) {
        window()->clearMask();
    }
}

QRegion PetView::frameShape() const
{
    if (m_image.isNull() || width() <= 0 || height() <= 0)
        return {};
    auto const key = std::make_tuple(m_image.cacheKey(), m_mirrored, width(), height());
    if (auto found = m_shapes.find(key); found != m_shapes.end())
        return found->second;
    // Pixels at least half opaque belong to the pet.
    QRegion shape(QBitmap::fromImage(drawnFrame().createAlphaMask(Qt::ThresholdAlphaDither)));
    // A clip has tens of frames; the table is only emptied if frames keep coming (skins, sizes).
    if (m_shapes.size() >= 512)
        m_shapes.clear();
    m_shapes.emplace(key, shape);
    return shape;
}

void PetView::updateShape()
{
    if (m_server || !m_shapedToFrame || !window())
        return;
    window()->setMask(frameShape());
}

void PetView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_drawn.setLook(size(), m_pixelated);
    if (m_server) {
        m_server->setSize(size());
        keepClipOnServer();
    }
    updateShape();
}

void PetView::setPixelated(bool pixelated)
{
    if (pixelated == m_pixelated)
        return;
    m_pixelated = pixelated;
    m_drawn.setLook(size(), m_pixelated);
    if (m_server) {
        m_server->clear();
        keepClipOnServer();
    }
    repaint();
}

QPaintEngine* PetView::paintEngine() const
{
    // On the server nothing paints through Qt.
    return m_server ? nullptr : QWidget::paintEngine();
}

void PetView::paintEvent(QPaintEvent*)
{
    if (m_image.isNull() || width() <= 0 || height() <= 0)
        return;
    if (m_server) {
        // Exposed again: the frame in force, copied anew.
        present();
        flush();
        return;
    }
    m_drawn.setLook(size(), m_pixelated);
    // The drawn frame covers the whole view, transparent pixels included: nothing to clear first.
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, m_drawn.drawn(m_image, m_mirrored));
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
        if (m_clickReceiver)
            m_clickReceiver->petRightClicked(*event);
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
        if (m_clickReceiver)
            m_clickReceiver->petClicked(*event);
    }
    m_dragOffset.reset();
    m_downScreenPoint.reset();
}

}
