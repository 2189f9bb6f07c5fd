#include "PawletKit/tests/TestSupport.hpp"
#include "Pupnik/PetController.hpp"
#include "Pupnik/PetWindow/PetPanel.hpp"
#include "platform/Clock.hpp"
#include "platform/Desktop/QtScheduler.hpp"
#include "platform/Desktop/QtScreens.hpp"
#include "platform/Desktop/X11WindowHints.hpp"
#include "platform/MemoryDefaultsStore.hpp"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <xcb/shape.h>
#include <xcb/xcb.h>

using namespace Pupnik;

namespace {

// Lets the event loop run until the condition holds or the deadline passes; the result is the condition.
// The loop sleeps between events, so waiting costs no processor time the pet would be measured by.
bool processEventsUntil(std::function<bool()> const& condition, int milliseconds = 10000)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer check;
    check.setInterval(20);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    return condition();
}

// Lets the pet run undisturbed for a while.
void letEventsRun(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool hasState(PetPanel& panel, char const* name)
{
    auto states = Platform::X11WindowHints::states(panel.windowHandle());
    return std::find(states.begin(), states.end(), QByteArray(name)) != states.end();
}

// The real sprites when the build has made them, else placeholders.
std::optional<std::filesystem::path> builtSprites()
{
    std::filesystem::path folder = std::filesystem::path(PUPNIK_SHARE_DIR) / "Sprites";
    if (std::filesystem::exists(folder / "manifest.json"))
        return folder;
    return std::nullopt;
}

xcb_connection_t* connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

// Where the X server has the window, in root coordinates.
std::optional<QPoint> serverPosition(PetPanel& panel)
{
    xcb_window_t const root = xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root;
    auto* reply = xcb_translate_coordinates_reply(connection(), xcb_translate_coordinates(connection(), xcb_window_t(panel.winId()), root, 0, 0), nullptr);
    if (!reply)
        return std::nullopt;
    QPoint const position(reply->dst_x, reply->dst_y);
    free(reply);
    return position;
}

// The window's outline as the X server has it; nothing when the window is not shaped at all.
std::optional<QRegion> serverShape(QWidget& window)
{
    auto const id = uint32_t(window.winId());
    xcb_shape_query_extents_reply_t* extents = xcb_shape_query_extents_reply(connection(), xcb_shape_query_extents(connection(), id), nullptr);
    bool const shaped = extents && extents->bounding_shaped;
    free(extents);
    if (!shaped)
        return std::nullopt;
    xcb_shape_get_rectangles_reply_t* reply
        = xcb_shape_get_rectangles_reply(connection(), xcb_shape_get_rectangles(connection(), id, XCB_SHAPE_SK_BOUNDING), nullptr);
    QRegion region;
    if (reply) {
        xcb_rectangle_t const* rectangles = xcb_shape_get_rectangles_rectangles(reply);
        for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(reply); ++i)
            region += QRect(rectangles[i].x, rectangles[i].y, rectangles[i].width, rectangles[i].height);
        free(reply);
    }
    return region;
}

// Bits per pixel of the window on the server; 0 when it cannot be asked.
int serverDepth(QWidget& window)
{
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(connection(), xcb_get_geometry(connection(), uint32_t(window.winId())), nullptr);
    int const depth = geometry ? geometry->depth : 0;
    free(geometry);
    return depth;
}

QImage screenAt(QRect const& rect)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height()).toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels of the picture that differ from its corner's: how much of a pet there is to see.
int pixelsUnlikeTheCorner(QImage const& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) != image.pixel(0, 0);
    return count;
}

// xdotool with the arguments, to its end.
bool pointer(QStringList const& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    return tool.waitForFinished(5000) && tool.exitCode() == 0;
}

// Counts the clicks the pet's view hands on.
struct ClickCounter final : PetClickReceiver {
    int clicks = 0;
    int rightClicks = 0;

    void petClicked(QMouseEvent const&) override { ++clicks; }
    void petRightClicked(QMouseEvent const&) override { ++rightClicks; }
};

// Two pet windows side by side, one keeping its frames on the server, one painted by Qt.
struct TwoRoads {
    PetPanel server;
    PetPanel qt { PetPanel::Drawing::qt };
    static constexpr QRect serverFrame { 200, 300, 130, 96 };
    static constexpr QRect qtFrame { 520, 300, 130, 96 };

    TwoRoads()
    {
        server.setFrame(serverFrame, true);
        qt.setFrame(qtFrame, true);
    }

    bool shown()
    {
        return processEventsUntil([&] {
            return server.windowHandle() && server.windowHandle()->isExposed() && qt.windowHandle() && qt.windowHandle()->isExposed()
                && server.geometry() == serverFrame && qt.geometry() == qtFrame;
        });
    }

    void show(QImage const& frame, bool mirrored)
    {
        for (PetPanel* panel : { &server, &qt }) {
            panel->showImage(frame);
            panel->setMirrored(mirrored);
            panel->flush();
        }
    }

    void orderFront()
    {
        server.orderFront();
        qt.orderFront();
    }
};

}

// The frames a classic X11 pet keeps on the server look exactly as Qt painted them: for a frame of
// every clip, both ways, the screen under the two windows is the same, and so are their outlines
// on a desktop without a compositing manager. With one, the window is unshaped and what lies below
// shows through around the dog. A click and a drag with the real pointer still work.
TEST(PetOnTheDesktop, FramesKeptOnTheServerShowWhatQtPaints)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server";
    SpriteStore sprites(builtSprites());
    TwoRoads roads;
    roads.orderFront();
    ASSERT_TRUE(roads.shown());
    ASSERT_TRUE(roads.server.view()->drawsOnServer());
    ASSERT_FALSE(roads.qt.view()->drawsOnServer());
    ASSERT_FALSE(Platform::X11WindowHints::hasCompositingManager(roads.server.windowHandle()));
    // Nothing blends an alpha channel here; the X server would composite such a window itself.
    EXPECT_EQ(serverDepth(roads.server), 24);

    for (PupnikCore::Clip clip : PupnikCore::allClips) {
        auto const frames = sprites.frames(PupnikCore::Skin::soft, clip);
        QImage const frame = frames[frames.size() / 2];
        for (bool mirrored : { false, true }) {
            roads.show(frame, mirrored);
            QImage seenOnServer;
            QImage seenFromQt;
            bool const same = processEventsUntil(
                [&] {
                    seenOnServer = screenAt(TwoRoads::serverFrame);
                    seenFromQt = screenAt(TwoRoads::qtFrame);
                    return seenOnServer == seenFromQt && pixelsUnlikeTheCorner(seenOnServer) > 500;
                },
                15000);
            EXPECT_TRUE(same) << rawValue(clip) << (mirrored ? " mirrored" : "");
            if (!same && !qEnvironmentVariable("PUPNIK_PET_SCREENSHOT_DIR").isEmpty()) {
                seenOnServer.save(qEnvironmentVariable("PUPNIK_PET_SCREENSHOT_DIR") + "/server-" + QString::fromStdString(std::string(rawValue(clip))) + (mirrored ? "-mirrored" : "") + ".png");
                seenFromQt.save(qEnvironmentVariable("PUPNIK_PET_SCREENSHOT_DIR") + "/qt-" + QString::fromStdString(std::string(rawValue(clip))) + (mirrored ? "-mirrored" : "") + ".png");
            }
            // Transparent pixels of a window show black without a compositing manager; only the
            // outline tells a cut window from one that is not. The same area, however the two split
            // it into rectangles.
            std::optional<QRegion> outline;
            bool const sameOutline = processEventsUntil([&] {
                outline = serverShape(roads.server);
                return outline && (*outline ^ roads.qt.mask()).isEmpty();
            });
            ASSERT_TRUE(outline.has_value()) << rawValue(clip);
            EXPECT_TRUE(sameOutline) << rawValue(clip) << (mirrored ? " mirrored" : "") << ": outlines differ by "
                                     << (*outline ^ roads.qt.mask()).rectCount() << " rectangles";
            EXPECT_FALSE(outline->isEmpty());
        }
    }

    // A click on the dog and a drag of it, with the real pointer.
    ClickCounter counter;
    std::optional<QRect> dropped;
    roads.server.setClickReceiver(&counter);
    roads.server.onDragEnded = [&](QRect const& frame) { dropped = frame; };
    // A spot on the dog: the middle of the widest part of its outline.
    auto const outline = serverShape(roads.server);
    ASSERT_TRUE(outline.has_value());
    QRect widest;
    for (QRect const& part : *outline)
        if (part.width() * part.height() > widest.width() * widest.height())
            widest = part;
    QPoint const middle = TwoRoads::serverFrame.topLeft() + widest.center();
    QString const x = QString::number(middle.x());
    QString const y = QString::number(middle.y());
    ASSERT_TRUE(pointer({ "mousemove", x, y, "click", "1" }));
    EXPECT_TRUE(processEventsUntil([&] { return counter.clicks == 1; }));
    ASSERT_TRUE(pointer({ "mousemove", x, y, "mousedown", "1" }));
    for (int step = 1; step <= 4; ++step) {
        letEventsRun(30);
        ASSERT_TRUE(pointer({ "mousemove", QString::number(middle.x() + 10 * step), y }));
    }
    letEventsRun(30);
    ASSERT_TRUE(pointer({ "mouseup", "1" }));
    EXPECT_TRUE(processEventsUntil([&] { return dropped.has_value(); }));
    EXPECT_EQ(counter.clicks, 1);
    if (dropped) {
        EXPECT_EQ(dropped->topLeft(), TwoRoads::serverFrame.topLeft() + QPoint(40, 0));
    }
    roads.server.setFrame(TwoRoads::serverFrame, false);

    // With a compositing manager: blended, not cut, once the window is shown again.
    QProcess compositor;
    compositor.start(QStringLiteral("xcompmgr"), {});
    ASSERT_TRUE(compositor.waitForStarted(5000));
    EXPECT_TRUE(processEventsUntil([&] { return Platform::X11WindowHints::hasCompositingManager(roads.server.windowHandle()); }));
    roads.server.orderOut();
    roads.qt.orderOut();
    letEventsRun(200);
    roads.orderFront();
    ASSERT_TRUE(roads.shown());
    int depth = 0;
    EXPECT_TRUE(processEventsUntil([&] { return (depth = serverDepth(roads.server)) == 32; })) << "depth " << depth;
    auto const frames = sprites.frames(PupnikCore::Skin::soft, PupnikCore::Clip::walk);
    for (bool mirrored : { false, true }) {
        roads.show(frames.front(), mirrored);
        EXPECT_TRUE(processEventsUntil([&] { return !serverShape(roads.server).has_value(); }));
        QImage seenOnServer;
        QImage seenFromQt;
        bool const same = processEventsUntil(
            [&] {
                seenOnServer = screenAt(TwoRoads::serverFrame.adjusted(-1, 0, 0, 0));
                seenFromQt = screenAt(TwoRoads::qtFrame.adjusted(-1, 0, 0, 0));
                // What lies left of the window shows through its transparent corner.
                return seenOnServer == seenFromQt && pixelsUnlikeTheCorner(seenOnServer) > 500 && seenOnServer.pixel(1, 0) == seenOnServer.pixel(0, 0)
                    && seenOnServer.pixel(1, 0) != qRgb(0, 0, 0);
            },
            15000);
        EXPECT_TRUE(same) << (mirrored ? "mirrored" : "") << " corner " << std::hex << seenOnServer.pixel(1, 0) << " beside " << seenOnServer.pixel(0, 0);
        if (auto folder = qEnvironmentVariable("PUPNIK_PET_SCREENSHOT_DIR"); !folder.isEmpty())
            screenAt(QRect(150, 260, 560, 180)).save(folder + (mirrored ? "/composited-mirrored.png" : "/composited.png"));
    }
    compositor.terminate();
    compositor.waitForFinished(5000);
}

// The whole pet on whatever display the test runs on: offscreen in the ordinary run, a real X server
// with a window manager in the display run, where the window manager's view of the window is checked.
// Frames kept on the server stay within its budget: a clip that does not fit beside the ones shown
// before pushes them out and is kept whole, both ways.
TEST(PetOnTheDesktop, AClipThatDoesNotFitPushesOutTheClipsShownBefore)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server";
    PetPanel panel;
    panel.setFrame({ 200, 300, 173, 128 }, true);
    panel.orderFront();
    ASSERT_TRUE(processEventsUntil([&] { return panel.windowHandle() && panel.windowHandle()->isExposed(); }));
    ASSERT_TRUE(panel.view()->drawsOnServer());
    auto clip = [](int count, int shade) {
        std::vector<QImage> frames;
        for (int i = 0; i < count; ++i) {
            QImage image(40, 30, QImage::Format_ARGB32_Premultiplied);
            image.fill(QColor(shade, i % 256, 0, 255));
            frames.push_back(image);
        }
        return frames;
    };
    ServerFrames const* server = panel.view()->serverFrames();
    // 173 × 128 pixels of 4 bytes: 200 frames are about 17.7 MB of the 24 MiB.
    auto const first = clip(100, 10);
    panel.loadFrames(first);
    EXPECT_EQ(server->framesKept(), 200u);
    auto const second = clip(60, 20);
    panel.loadFrames(second);
    EXPECT_EQ(server->framesKept(), 120u);
    EXPECT_LE(server->bytesKept(), ServerFrames::byteBudget);
}

TEST(PetOnTheDesktop, WalksInItsOwnWindowThatStaysOutOfTheWay)
{
    Platform::QtScreens screens;
    Platform::QtScheduler scheduler(nullptr);
    Platform::SystemClock clock;
    Platform::MemoryDefaultsStore defaults;
    SpriteStore sprites(builtSprites());
    auto owned = std::make_unique<PetPanel>();
    PetPanel* panel = owned.get();
    PetController pet(sprites, {}, defaults, std::nullopt, std::move(owned), { screens, scheduler, clock });
    pet.apply({ PupnikCore::Clip::walk, 1.0 });

    ASSERT_TRUE(processEventsUntil([&] { return panel->windowHandle() && panel->windowHandle()->isExposed(); }));
    EXPECT_TRUE(panel->isVisible());
    // On the ground: the bottom of the screen's visible part, once the window system has placed it.
    EXPECT_TRUE(processEventsUntil([&] { return screens.fromTopLeft(panel->geometry()).y == screens.main()->visibleFrame.y; }))
        << "the pet's window stands at y " << screens.fromTopLeft(panel->geometry()).y << ", the ground is at " << screens.main()->visibleFrame.y;

    bool const x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    if (x11) {
        EXPECT_TRUE(processEventsUntil([&] {
            return hasState(*panel, "_NET_WM_STATE_STICKY") && hasState(*panel, "_NET_WM_STATE_SKIP_TASKBAR")
                && hasState(*panel, "_NET_WM_STATE_SKIP_PAGER") && hasState(*panel, "_NET_WM_STATE_ABOVE");
        }));
        // The offscreen platform activates every window it shows; a window manager must not. Once the
        // window manager has set the states it has taken the window in, activation included.
        EXPECT_FALSE(panel->isActiveWindow());
    }
    // The pet walks on its own timer.
    double const startX = pet.roamer().x;
    EXPECT_TRUE(processEventsUntil([&] { return pet.roamer().x != startX; }));
    if (x11) {
        // The window manager's word on each step is kept from Qt, whose idea of the place lags
        // until something of Qt's reads it: a press on the pet, for one, starts from where it stands.
        EXPECT_TRUE(processEventsUntil([&] { return panel->geometry() != panel->frame(); }));
        QPointF const onThePet = QPointF(panel->frame().topLeft()) + QPointF(20, 20);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), onThePet, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(panel->view(), &press);
        EXPECT_EQ(panel->geometry(), panel->frame()) << "Qt has the pet at " << panel->geometry().x() << "," << panel->geometry().y() << "; it stands at "
                                                     << panel->frame().x() << "," << panel->frame().y();
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(20, 20), onThePet, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(panel->view(), &release);
        // Moved by requests of its own, the window is where the pet is, and Qt hears of it too.
        pet.movementPaused = true;
        QRect const wanted = panel->frame();
        EXPECT_TRUE(processEventsUntil([&] { return panel->geometry() == wanted && serverPosition(*panel) == wanted.topLeft(); }))
            << "the pet is at " << wanted.x() << "," << wanted.y() << "; Qt has " << panel->geometry().x() << "," << panel->geometry().y();
        EXPECT_NE(wanted.x(), screens.toTopLeft({ startX, pet.roamer().groundY, pet.roamer().width, pet.roamer().height }).x());
        pet.movementPaused = false;
    }

    pet.setAlwaysOnTop(false);
    EXPECT_TRUE(panel->isVisible());
    if (x11) {
        EXPECT_TRUE(processEventsUntil([&] { return !hasState(*panel, "_NET_WM_STATE_ABOVE"); }));
    }
    pet.setAlwaysOnTop(true);
    if (x11) {
        EXPECT_TRUE(processEventsUntil([&] { return hasState(*panel, "_NET_WM_STATE_ABOVE"); }));
    }

    // Hidden and shown again at once, the window ends up on screen (not lost to the window manager's
    // late withdrawal of the hidden one) and keeps its place among the desktops.
    pet.setVisible(false);
    pet.setVisible(true);
    letEventsRun(300);
    ASSERT_TRUE(processEventsUntil([&] { return panel->windowHandle()->isExposed(); }));
    if (x11) {
        EXPECT_TRUE(processEventsUntil([&] { return panel->windowHandle()->isExposed() && !Platform::X11WindowHints::isWithdrawn(panel->windowHandle()); }));
        EXPECT_TRUE(processEventsUntil([&] { return hasState(*panel, "_NET_WM_STATE_STICKY") && hasState(*panel, "_NET_WM_STATE_SKIP_TASKBAR"); }));
    }

    // For a person to look at: the screen with the walking pet, when asked for.
    if (auto folder = qEnvironmentVariable("PUPNIK_PET_SCREENSHOT_DIR"); !folder.isEmpty()) {
        letEventsRun(1500);
        pet.writeSnapshot(folder.toStdString(), "pet");
        if (auto pause = qEnvironmentVariableIntValue("PUPNIK_PET_SCREENSHOT_HOLD_MS"))
            letEventsRun(pause);
    }
}
