#pragma once

#include <QImage>
#include <QPointF>
#include <QRegion>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <tuple>

namespace Pupnik {

// The pet's picture and the one place mouse input on it is read: a press becomes a click or a drag
// that moves the window itself; a right press is reported at once. Repaints only when the frame or
// the facing changes.
class PetView final : public QWidget {
public:
    explicit PetView(QWidget* parent = nullptr);

    void setImage(QImage const& image);
    QImage const& image() const { return m_image; }
    void setMirrored(bool mirrored);
    bool isMirrored() const { return m_mirrored; }
    void setPixelated(bool pixelated);
    bool isPixelated() const { return m_pixelated; }
    // Without a compositing manager the window is cut to the frame's opaque pixels instead of blended.
    void setShapedToFrame(bool shaped);
    bool isShapedToFrame() const { return m_shapedToFrame; }
    // The part of the view the current frame covers, as drawn (fitted and mirrored).
    QRegion frameShape() const;
    // How many paints asked for, for checks of what triggers one.
    int repaintRequests() const { return m_repaintRequests; }

    std::function<void()> onDragBegan;
    std::function<void(QRect const&)> onDragEnded;
    std::function<void(QMouseEvent const&)> onRightClick;
    std::function<void(QMouseEvent const&)> onClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressIsClick(QMouseEvent const& event) const;
    void repaint();
    QRectF frameTarget() const;
    void updateShape();

    QImage m_image;
    bool m_mirrored { false };
    bool m_pixelated { false };
    int m_repaintRequests { 0 };
    bool m_shapedToFrame { false };
    // Shapes of frames already seen, by frame, facing and size: a walk cycle is cut once.
    mutable std::map<std::tuple<qint64, bool, int, int>, QRegion> m_shapes;
    // Pointer minus window origin at the press, present from press to release.
    std::optional<QPointF> m_dragOffset;
    bool m_dragMoved { false };
    std::optional<QPointF> m_downScreenPoint;
    // Milliseconds, as events carry them.
    quint64 m_downTimestamp { 0 };
};

}
