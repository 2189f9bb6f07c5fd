#include "Pupnik/PetWindow/PetPanel.hpp"
#include "Pupnik/PetWindow/PetView.hpp"
#include "platform/Desktop/X11WindowHints.hpp"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

using namespace Pupnik;

namespace {

// A panel at (100, 500), 130 × 96, whose view records what its callbacks report.
struct PressFixture final : PetClickReceiver {
    PetPanel panel;
    PetView* view = panel.view();
    int clicks = 0;
    int rightClicks = 0;
    int dragsBegun = 0;
    std::vector<QRect> dragsEnded;

    PressFixture()
    {
        panel.setFrame(QRect(100, 500, 130, 96), true);
        panel.setClickReceiver(this);
        panel.onDragBegan = [this] { ++dragsBegun; };
        panel.onDragEnded = [this](QRect const& frame) { dragsEnded.push_back(frame); };
    }

    void petClicked(QMouseEvent const&) override { ++clicks; }
    void petRightClicked(QMouseEvent const&) override { ++rightClicks; }

    // Global point, milliseconds since the press sequence began.
    void send(QEvent::Type type, QPointF global, uint64_t milliseconds, Qt::MouseButton button = Qt::LeftButton)
    {
        Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QPointF local = global - QPointF(panel.geometry().topLeft());
        QMouseEvent event(type, local, local, global, type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
        event.setTimestamp(10'000 + milliseconds);
        QCoreApplication::sendEvent(view, &event);
    }
};

}

TEST(PetView, PressesBecomeClicksOrDragsByDistanceAndTime)
{
    struct Move {
        double dx;
        double dy;
        uint64_t ms;
    };
    struct Case {
        char const* name;
        std::vector<Move> moves;
        Move release;
        int clicks;
        int dragsBegun;
        QPoint finalOrigin;
    };
    Case const cases[] {
        { "still", {}, { 0, 0, 100 }, 1, 0, { 100, 500 } },
        { "within six points", { { 4, 4, 50 } }, { 3, 4, 300 }, 1, 0, { 100, 500 } },
        { "exactly at both limits", { { 6, 0, 400 } }, { 6, 0, 400 }, 1, 0, { 100, 500 } },
        { "seven points is a drag", { { 7, 0, 50 }, { 27, 10, 80 } }, { 27, 10, 90 }, 0, 1, { 127, 510 } },
        { "held too long, released still", {}, { 0, 0, 401 }, 0, 0, { 100, 500 } },
        { "held too long, then moved a little", { { 1, 0, 500 }, { 2, 1, 520 } }, { 2, 1, 530 }, 0, 1, { 102, 501 } },
    };
    for (auto const& c : cases) {
        PressFixture f;
        QPointF const down(150, 540);
        f.send(QEvent::MouseButtonPress, down, 0);
        for (auto const& m : c.moves)
            f.send(QEvent::MouseMove, down + QPointF(m.dx, m.dy), m.ms);
        f.send(QEvent::MouseButtonRelease, down + QPointF(c.release.dx, c.release.dy), c.release.ms);
        EXPECT_EQ(f.clicks, c.clicks) << c.name;
        EXPECT_EQ(f.dragsBegun, c.dragsBegun) << c.name;
        EXPECT_EQ(f.panel.geometry().topLeft(), c.finalOrigin) << c.name;
        if (c.dragsBegun) {
            ASSERT_EQ(f.dragsEnded.size(), 1u) << c.name;
            EXPECT_EQ(f.dragsEnded[0], QRect(c.finalOrigin, QSize(130, 96))) << c.name;
        } else {
            EXPECT_TRUE(f.dragsEnded.empty()) << c.name;
        }
    }
}

TEST(PetView, AReleaseWithoutAPressAndARightClickTouchNothingElse)
{
    PressFixture f;
    f.send(QEvent::MouseButtonRelease, { 150, 540 }, 0);
    EXPECT_EQ(f.clicks, 0);

    // A right press in the middle of a left press leaves the left one going.
    f.send(QEvent::MouseButtonPress, { 150, 540 }, 0);
    f.send(QEvent::MouseButtonPress, { 150, 540 }, 10, Qt::RightButton);
    f.send(QEvent::MouseButtonRelease, { 150, 540 }, 20, Qt::RightButton);
    EXPECT_EQ(f.rightClicks, 1);
    EXPECT_EQ(f.clicks, 0);
    f.send(QEvent::MouseButtonRelease, { 151, 540 }, 30);
    EXPECT_EQ(f.clicks, 1);
    EXPECT_EQ(f.dragsBegun, 0);
}

TEST(PetView, RepaintsOnlyForANewFrameOrFacing)
{
    PetPanel panel;
    PetView& view = *panel.view();
    QImage a(8, 6, QImage::Format_ARGB32_Premultiplied);
    a.fill(Qt::red);
    QImage b = a.copy();
    view.setImage(a);
    int const afterFirst = view.repaintRequests();
    view.setImage(a);
    view.setMirrored(false);
    panel.setFrame(QRect(10, 10, 130, 96), false);
    panel.setFrame(QRect(40, 10, 130, 96), false);
    EXPECT_EQ(view.repaintRequests(), afterFirst);
    view.setImage(b);
    view.setMirrored(true);
    EXPECT_EQ(view.repaintRequests(), afterFirst + 2);
}

TEST(PetPanel, NeverTakesFocusAndStaysOutOfTheWay)
{
    PetPanel panel;
    Qt::WindowFlags const flags = panel.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    // On X11 the window manager keeps it above instead; the display run checks that.
    EXPECT_EQ(flags.testFlag(Qt::WindowStaysOnTopHint), QGuiApplication::platformName() != QLatin1String("xcb"));
    EXPECT_EQ(panel.windowType(), Qt::Tool);
    EXPECT_TRUE(panel.testAttribute(Qt::WA_ShowWithoutActivating));
    // An alpha channel only where something blends it: the X server would otherwise composite
    // the window by itself on every frame.
    EXPECT_EQ(panel.testAttribute(Qt::WA_TranslucentBackground),
        QGuiApplication::platformName() != QLatin1String("xcb") || Platform::X11WindowHints::hasCompositingManager());
    EXPECT_EQ(panel.focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(panel.view()->focusPolicy(), Qt::NoFocus);

    panel.setKeptAbove(false);
    EXPECT_FALSE(panel.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(panel.windowId(), 0u);
    panel.setToolTip(std::string("waiting"));
    EXPECT_EQ(panel.toolTip(), "waiting");
    panel.setToolTip(std::nullopt);
    EXPECT_EQ(panel.toolTip(), std::nullopt);
}

TEST(PetView, WithoutACompositorTheWindowIsCutToTheFrameAsDrawn)
{
    PetPanel panel;
    panel.setFrame(QRect(0, 0, 100, 50), true);
    PetView& view = *panel.view();
    // Opaque on its left half only; the frame fills the view exactly (same proportions).
    QImage frame(200, 100, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            frame.setPixel(x, y, qRgba(200, 100, 0, 255));
    view.setImage(frame);
    EXPECT_TRUE(panel.mask().isEmpty());

    view.setShapedToFrame(true);
    EXPECT_EQ(panel.mask(), QRegion(0, 0, 50, 50));
    view.setMirrored(true);
    EXPECT_EQ(panel.mask(), QRegion(50, 0, 50, 50));
    view.setShapedToFrame(false);
    EXPECT_TRUE(panel.mask().isEmpty());
}
