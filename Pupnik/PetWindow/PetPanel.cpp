#include "Pupnik/PetWindow/PetPanel.hpp"

#include "platform/Desktop/X11WindowHints.hpp"

#include <QPixmap>
#include <QShowEvent>
#include <QWindow>

namespace Pupnik {

namespace {

constexpr Qt::WindowFlags panelFlags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;

}

PetPanel::PetPanel()
    : QWidget(nullptr, panelFlags | Qt::WindowStaysOnTopHint)
    , m_view(new PetView(this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Pupnik"));
    m_view->onDragBegan = [this] {
        if (onDragBegan)
            onDragBegan();
    };
    m_view->onDragEnded = [this](QRect const& frame) {
        if (onDragEnded)
            onDragEnded(frame);
    };
    m_view->onClick = [this](QMouseEvent const& event) {
        if (onClick)
            onClick(event);
    };
    m_view->onRightClick = [this](QMouseEvent const& event) {
        if (onRightClick)
            onRightClick(event);
    };
}

void PetPanel::setFrame(QRect const& frame, bool redisplay)
{
    bool const resized = frame.size() != size();
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
    if (!isVisible()) {
        // Qt writes the state into the window when it is shown next.
        setWindowFlag(Qt::WindowStaysOnTopHint, above);
        return;
    }
    // Changing Qt's flags would unmap and remap the window; the window manager is asked instead,
    // and Qt's flag follows in place so a later show keeps the choice.
    if (Platform::X11WindowHints::setKeptAbove(windowHandle(), above) == Platform::X11WindowHints::Outcome::applied) {
        windowHandle()->setFlag(Qt::WindowStaysOnTopHint, above);
        overrideWindowFlags(windowHandle()->flags());
    } else {
        setWindowFlag(Qt::WindowStaysOnTopHint, above);
        show();
    }
}

void PetPanel::orderFront()
{
    show();
    raise();
}

void PetPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    applyDesktopHints();
}

void PetPanel::applyDesktopHints()
{
    // Before the window is mapped these are its initial properties; a window manager that dropped
    // them when the pet was hidden gets them again on every show.
    Platform::X11WindowHints::showOnAllDesktopsUnlisted(windowHandle());
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
    QPixmap pixmap = grab();
    if (pixmap.isNull())
        return std::nullopt;
    return pixmap.toImage();
}

}
