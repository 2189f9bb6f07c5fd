#pragma once

#include "Pupnik/PetWindow/MoveConfirmations.hpp"
#include "Pupnik/PetWindow/PetSurface.hpp"
#include "Pupnik/PetWindow/PetView.hpp"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <optional>

namespace Pupnik {

// The pet's own window: frameless, transparent but for the dog, above ordinary windows, on every
// desktop, never focused or activated, listed in no taskbar or pager. Its one child is the view.
class PetPanel final : public QWidget, public PetSurface {
public:
    enum class Drawing {
        // Frames kept on the X server when there is one, else painted by Qt.
        automatic,
        qt,
    };

    explicit PetPanel(Drawing drawing = Drawing::automatic);

    QRect frame() const override { return m_movedOnServer.value_or(geometry()); }
    void setFrame(QRect const& frame, bool redisplay) override;
    void showImage(QImage const& image) override { m_view->setImage(image); }
    void setMirrored(bool mirrored) override { m_view->setMirrored(mirrored); }
    void setPixelated(bool pixelated) override { m_view->setPixelated(pixelated); }
    void loadFrames(std::vector<QImage> const& frames) override { m_view->setFrames(frames); }
    void releaseFrames(std::vector<QImage> const& frames) override { m_view->releaseFrames(frames); }
    void flush() override { m_view->flush(); }
    void setKeptAbove(bool above) override;
    void orderFront() override;
    void orderOut() override;
    std::optional<std::string> toolTip() const override;
    void setToolTip(std::optional<std::string> const& text) override;
    uint64_t windowId() const override;
    std::optional<QImage> grabWindow() override;
    PetView* view() override { return m_view; }
    void syncPlace() override { catchUpWithServer(); }
    void setClickReceiver(PetClickReceiver* receiver) override
    {
        PetSurface::setClickReceiver(receiver);
        m_view->setClickReceiver(receiver);
    }

    bool isKeptAbove() const { return m_keptAbove; }

protected:
    void showEvent(QShowEvent* event) override;
    QPaintEngine* paintEngine() const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyDesktopHints();
    void showWhenWithdrawn();
    void setMovedOnServer(std::optional<QRect> frame);
    // Tells Qt where a window moved outside Qt stands, before anything of Qt's reads it.
    void catchUpWithServer();
    // Without a compositing manager a window with an alpha channel is not blended but composited
    // into the window manager's frame by the X server itself, on every frame: the pet's window
    // has one only when a compositing manager runs as it is made.
    bool wantsTranslucentWindow() const;
    void matchWindowToCompositing();

    static constexpr int withdrawalCheckInterval = 20;
    static constexpr int maxWithdrawalChecks = 50;
    // Milliseconds. A check is four round trips, each waking both of Qt's threads for the X
    // connection: at twice a second they cost an idle pet about as much as its frames' exposures.
    static constexpr qint64 hintsCheckInterval = 2000;

    PetView* m_view;
    bool m_usesWindowManagerHints;
    Drawing m_drawing;
    bool m_watchingExposure { false };
    bool m_keptAbove { true };
    bool m_wantsShown { false };
    int m_withdrawalChecks { 0 };
    QElapsedTimer m_hintsChecked;
    // Where the window was last moved outside Qt. The window manager's confirmations are kept
    // from Qt; it is told where the pet stands every so often while it walks, and at once before
    // a press, a hide or a move of its own.
    std::optional<QRect> m_movedOnServer;
    MoveConfirmations m_confirmations;
    QTimer m_catchUp;
    // Milliseconds Qt's idea of a walking pet's place may lag.
    static constexpr int catchUpInterval = 500;
};

}
