#include "Pupnik/PetWindow/PetPanel.hpp"

#include "platform/Desktop/X11WindowHints.hpp"

#include <QGuiApplication>
#include <QPixmap>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>

namespace Pupnik {

namespace {

constexpr Qt::WindowFlags panelFlags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

}

// On X11 the window manager is asked to keep the pet above once it is shown, instead of Qt's flag:
// a state a window is mapped with cannot be taken back under some window managers.
PetPanel::PetPanel(Drawing drawing)
    : QWidget(nullptr, onX11() ? panelFlags : panelFlags | Qt::WindowStaysOnTopHint)
    , m_view(new PetView(this))
    , m_usesWindowManagerHints(onX11())
    , m_drawing(drawing)
{
    setAttribute(Qt::WA_TranslucentBackground, wantsTranslucentWindow());
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    // Qt shows tooltips only over the active window, and the pet never becomes one.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Pupnik"));
    m_catchUp.setSingleShot(true);
    m_catchUp.setInterval(catchUpInterval);
    QObject::connect(&m_catchUp, &QTimer::timeout, this, [this] { catchUpWithServer(); });
    m_confirmations.onKeptBack = [this] {
        if (!m_catchUp.isActive())
            m_catchUp.start();
    };
    // A press reads the window's place from Qt.
    m_view->installEventFilter(this);
    m_view->onDragBegan = [this] {
        // A drag moves the window through Qt, which knows its place from then on.
        setMovedOnServer(std::nullopt);
        if (onDragBegan)
            onDragBegan();
    };
    m_view->onDragEnded = [this](QRect const& frame) {
        if (onDragEnded)
            onDragEnded(frame);
    };
}

void PetPanel::setFrame(QRect const& frame, bool redisplay)
{
    bool const resized = frame.size() != this->frame().size();
    // A walking pet moves with every frame: a plain move request, sent with the frame's copy.
    if (!resized && !redisplay && isVisible() && m_view->moveOnServer(frame.topLeft())) {
        setMovedOnServer(frame);
        return;
    }
    setMovedOnServer(std::nullopt);
    setGeometry(frame);
    if (resized || redisplay)
        m_view->setGeometry(0, 0, frame.width(), frame.height());
    if (redisplay)
        m_view->update();
}

void PetPanel::setKeptAbove(bool above)
{
    if (above == m_keptAbove)
        return;
    m_keptAbove = above;
    if (m_usesWindowManagerHints) {
        // A hidden window gets it when it is exposed next.
        if (windowHandle())
            Platform::X11WindowHints::setKeptAbove(windowHandle(), above);
        return;
    }
    bool const wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, above);
    if (wasVisible)
        show();
}

void PetPanel::orderFront()
{
    m_wantsShown = true;
    m_withdrawalChecks = 0;
    m_hintsChecked.invalidate();
    showWhenWithdrawn();
}

void PetPanel::orderOut()
{
    m_wantsShown = false;
    catchUpWithServer();
    hide();
}

void PetPanel::setMovedOnServer(std::optional<QRect> frame)
{
    m_movedOnServer = frame;
    m_confirmations.expect(frame ? uint32_t(internalWinId()) : 0, frame);
    if (!frame)
        m_catchUp.stop();
}

void PetPanel::catchUpWithServer()
{
    if (!m_movedOnServer)
        return;
    QRect const where = *m_movedOnServer;
    setMovedOnServer(std::nullopt);
    if (geometry() != where)
        setGeometry(where);
}

void PetPanel::showWhenWithdrawn()
{
    if (!m_wantsShown)
        return;
    // Shown again right after being hidden, the window waits until the window manager has finished
    // hiding it; a bounded wait, after which it is shown regardless.
    if (m_usesWindowManagerHints && !isVisible() && windowHandle() && !Platform::X11WindowHints::isWithdrawn(windowHandle())
        && m_withdrawalChecks < maxWithdrawalChecks) {
        ++m_withdrawalChecks;
        QTimer::singleShot(withdrawalCheckInterval, this, [this] { showWhenWithdrawn(); });
        return;
    }
    matchWindowToCompositing();
    show();
    raise();
}

bool PetPanel::wantsTranslucentWindow() const
{
    return !m_usesWindowManagerHints || Platform::X11WindowHints::hasCompositingManager();
}

void PetPanel::matchWindowToCompositing()
{
    bool const translucent = wantsTranslucentWindow();
    if (translucent == testAttribute(Qt::WA_TranslucentBackground) || isVisible())
        return;
    // The depth of a window is fixed when it is made: a hidden one is made anew, where it was.
    if (testAttribute(Qt::WA_WState_Created)) {
        QRect const where = frame();
        setMovedOnServer(std::nullopt);
        m_view->stopDrawingOnServer();
        setAttribute(Qt::WA_PaintOnScreen, false);
        m_view->setAttribute(Qt::WA_PaintOnScreen, false);
        m_watchingExposure = false;
        m_hintsChecked.invalidate();
        destroy();
        setGeometry(where);
    }
    setAttribute(Qt::WA_TranslucentBackground, translucent);
}

QPaintEngine* PetPanel::paintEngine() const
{
    return m_view->drawsOnServer() ? nullptr : QWidget::paintEngine();
}

void PetPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_usesWindowManagerHints || !windowHandle())
        return;
    // The window exists now, not yet mapped: from here on its frames live on the server and Qt
    // keeps no picture of its own for it.
    if (m_drawing == Drawing::automatic && !m_view->drawsOnServer() && m_view->drawOnServer(uint32_t(winId()))) {
        setAttribute(Qt::WA_PaintOnScreen);
        m_view->setAttribute(Qt::WA_PaintOnScreen);
    }
    if (!m_watchingExposure) {
        windowHandle()->installEventFilter(this);
        m_watchingExposure = true;
    }
    // Not mapped yet: these become the window's initial properties.
    Platform::X11WindowHints::showOnAllDesktopsUnlisted(windowHandle());
}

bool PetPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::MouseButtonPress)
        catchUpWithServer();
    if (event->type() == QEvent::Expose && watched == windowHandle() && !windowHandle()->isExposed())
        m_hintsChecked.invalidate();
    if (event->type() == QEvent::Expose && watched == windowHandle() && windowHandle()->isExposed()) {
        // An outline that follows the frames exposes the window many times a second: the hints,
        // which cost round trips to the server, are checked when it is shown and then at most
        // every so often.
        if (!m_hintsChecked.isValid() || m_hintsChecked.elapsed() >= hintsCheckInterval) {
            applyDesktopHints();
            m_hintsChecked.start();
        }
        // The window manager may still be catching up with the window's last outline; what that
        // uncovers arrives as an exposure, painted by Qt only for windows it draws itself.
        m_view->redraw();
    }
    return QWidget::eventFilter(watched, event);
}

void PetPanel::applyDesktopHints()
{
    // A window manager may have dropped the hints while the pet was hidden, even after it was
    // shown again; what is missing is asked for again. Nothing is sent when all is in place.
    QWindow* window = windowHandle();
    Platform::X11WindowHints::showOnAllDesktopsUnlisted(window);
    // A window made without an alpha channel stays cut to the dog until it is made anew.
    m_view->setShapedToFrame(!Platform::X11WindowHints::hasCompositingManager(window) || !testAttribute(Qt::WA_TranslucentBackground));
    if (Platform::X11WindowHints::isKeptAbove(window) != m_keptAbove)
        Platform::X11WindowHints::setKeptAbove(window, m_keptAbove);
}

std::optional<std::string> PetPanel::toolTip() const
{
    QString const text = m_view->toolTip();
    if (text.isEmpty())
        return std::nullopt;
    return text.toStdString();
}

void PetPanel::setToolTip(std::optional<std::string> const& text)
{
    m_view->setToolTip(text ? QString::fromStdString(*text) : QString());
}

uint64_t PetPanel::windowId() const
{
    if (!testAttribute(Qt::WA_WState_Created))
        return 0;
    return uint64_t(effectiveWinId());
}

std::optional<QImage> PetPanel::grabWindow()
{
    // Qt holds no picture of a window drawn on the server: what it shows is the frame as drawn.
    if (m_view->drawsOnServer()) {
        QImage drawn = m_view->drawnFrame();
        if (drawn.isNull())
            return std::nullopt;
        return drawn;
    }
    QPixmap pixmap = grab();
    if (pixmap.isNull())
        return std::nullopt;
    return pixmap.toImage();
}

}
