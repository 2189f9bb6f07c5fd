#pragma once

#include "Pupnik/PetWindow/DrawnFrames.hpp"
#include "Pupnik/PetWindow/PetClickReceiver.hpp"
#include "Pupnik/PetWindow/ServerFrames.hpp"

#include <QImage>
#include <QPointF>
#include <QRegion>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace Pupnik {

// The pet's picture and the one place mouse input on it is read: a press becomes a click or a drag
// that moves the window itself; a right press is reported at once. Repaints only when the frame or
// the facing changes. Once its window is on an X server the frames are kept there and copied to
// the window, outside Qt's painting; elsewhere Qt paints them, each drawn once.
class PetView final : public QWidget {
public:
    explicit PetView(QWidget* parent = nullptr);

    // Draws on the X server from now on; false when the window cannot take the frames as they are.
    bool drawOnServer(uint32_t window);
    bool drawsOnServer() const { return m_server != nullptr; }
    // Before the window goes: its frames are let go on the server, and Qt paints until the next
    // drawOnServer.
    void stopDrawingOnServer() { m_server.reset(); }
    ServerFrames const* serverFrames() const { return m_server.get(); }
    // The clip in force: on the server its frames are kept ready, the facing in force first.
    void setFrames(std::vector<QImage> const& frames);
    void releaseFrames(std::vector<QImage> const& frames);
    // The frame as the window shows it.
    QImage drawnFrame() const;
    // Sends what was asked of the server since the last flush.
    void flush();
    // Copies the frame in force to the window again, on the server.
    void redraw();
    // Moves the top-level window by a request of its own, sent with the next flush; false when
    // not on the server.
    bool moveOnServer(QPoint topLeft);

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
    // Where clicks go; none drops them.
    void setClickReceiver(PetClickReceiver* receiver) { m_clickReceiver = receiver; }

protected:
    void paintEvent(QPaintEvent* event) override;
    QPaintEngine* paintEngine() const override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressIsClick(QMouseEvent const& event) const;

    PetClickReceiver* m_clickReceiver { nullptr };
    void repaint();
    void present();
    void keepClipOnServer();
    void updateShape();

    QImage m_image;
    bool m_mirrored { false };
    bool m_pixelated { false };
    int m_repaintRequests { 0 };
    bool m_shapedToFrame { false };
    std::vector<QImage> m_clip;
    DrawnFrames m_drawn;
    std::unique_ptr<ServerFrames> m_server;
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
