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
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <gtest/gtest.h>

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

}

// The whole pet on whatever display the test runs on: offscreen in the ordinary run, a real X server
// with a window manager in the display run, where the window manager's view of the window is checked.
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
