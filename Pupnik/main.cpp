#include "PawletKit/ApplicationLock.hpp"
#include "PawletKit/Environment.hpp"
#include "Pupnik/AppDelegate.hpp"
#include "Pupnik/DisplayChoice.hpp"
#include "Pupnik/InstanceHandOver.hpp"
#include "Pupnik/LaunchOptions.hpp"
#include "platform/Desktop/InstanceServer.hpp"
#include "platform/Desktop/SignalWatcher.hpp"
#include "platform/InstanceSocket.hpp"
#include "platform/Log.hpp"

#include <QApplication>
#include <X11/Xlib.h>
#include <csignal>
#include <cstdlib>
#include <span>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Qt ends the process with an abort when its X11 platform finds no server; a plain line is kinder.
bool x11ServerAnswers()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

}

int main(int argc, char** argv)
{
    auto const environment = PawletKit::currentEnvironment();
    auto options = Pupnik::LaunchOptions::fromProcess();
    auto const urls = Pupnik::InstanceHandOver::urlArguments(std::span<char* const>(argv, static_cast<size_t>(argc)));

    // A later start passes its URLs on before anything else, so that it works without a display.
    if (PawletKit::ApplicationLock::isHeldElsewhere(options.paths))
        return Pupnik::InstanceHandOver::toRunningInstance(options.paths, environment, urls);

    switch (Pupnik::chooseDisplay(environment)) {
    case Pupnik::DisplayChoice::none:
        Platform::Log::line("no display: the pet's window needs an X11 server or XWayland, and DISPLAY is not set");
        return 1;
    case Pupnik::DisplayChoice::x11:
        if (!x11ServerAnswers()) {
            Platform::Log::line("no display: the X11 server at " + environment.at("DISPLAY") + " does not answer");
            return 1;
        }
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        break;
    case Pupnik::DisplayChoice::userPlatform:
        break;
    }

    // Held until the process ends: it tells the agent tool that permission requests get an answer,
    // and it keeps a second instance from rotating the same event file and answering the same requests.
    auto lock = PawletKit::ApplicationLock::acquire(options.paths);
    if (!lock) {
        // Another start won the race since the check above.
        if (PawletKit::ApplicationLock::isHeldElsewhere(options.paths))
            return Pupnik::InstanceHandOver::toRunningInstance(options.paths, environment, urls);
        Platform::Log::line("could not lock " + options.paths.applicationLock().string()
            + "; coding agents will not wait for answers to permission requests");
    }

    // Before Qt starts its threads, so that none of them takes these signals.
    if (options.snapshotDir)
        Platform::SignalWatcher::blockInThisThread({ SIGTERM, SIGUSR1, SIGUSR2 });
    else
        Platform::SignalWatcher::blockInThisThread({ SIGTERM, SIGUSR1 });

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pupnik"));
    QApplication::setQuitOnLastWindowClosed(false);

    auto const supportFolder = options.paths.base();
    Pupnik::AppDelegate delegate(std::move(options), environment, Pupnik::AppDelegate::Desktop::real());
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate, &Pupnik::AppDelegate::applicationWillTerminate);

    // Later starts find the pet through this socket; without it the pet still runs, only alone.
    Platform::InstanceServer instances([&delegate](std::vector<std::string> received) {
        Platform::Log::line("url: " + std::to_string(received.size()) + " URL(s) from a later start");
        delegate.openURLs(received);
    });
    auto const socket = Platform::InstanceSocket::locate(environment, ::geteuid(), supportFolder, true);
    auto const problem = socket.path ? instances.listen(*socket.path) : std::optional<std::string>(socket.problem);
    if (problem)
        Platform::Log::line("url: later starts cannot reach this one: " + *problem);

    delegate.applicationWillFinishLaunching();
    // The desktop hands the application's URLs over as arguments; they wait until launch has completed.
    delegate.openURLs(Pupnik::InstanceHandOver::readableURLs(urls));
    delegate.applicationDidFinishLaunching();
    application.exec();
    return 0;
}
