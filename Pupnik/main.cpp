#include "PawletKit/ApplicationLock.hpp"
#include "PawletKit/Environment.hpp"
#include "Pupnik/AppDelegate.hpp"
#include "Pupnik/DisplayChoice.hpp"
#include "Pupnik/LaunchOptions.hpp"
#include "platform/Desktop/SignalWatcher.hpp"
#include "platform/Log.hpp"

#include <QApplication>
#include <X11/Xlib.h>
#include <csignal>
#include <cstdlib>
#include <string>
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

    auto options = Pupnik::LaunchOptions::fromProcess();

    // Held until the process ends: it tells the agent tool that permission requests get an answer,
    // and it keeps a second instance from rotating the same event file and answering the same requests.
    auto lock = PawletKit::ApplicationLock::acquire(options.paths);
    if (!lock) {
        if (PawletKit::ApplicationLock::isHeldElsewhere(options.paths)) {
            Platform::Log::line("Pupnik already runs for this user");
            return 0;
        }
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

    Pupnik::AppDelegate delegate(std::move(options), environment, Pupnik::AppDelegate::Desktop::real());
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate, &Pupnik::AppDelegate::applicationWillTerminate);
    delegate.applicationWillFinishLaunching();
    // The desktop hands the application's URLs over as arguments; they wait until launch has completed.
    auto const arguments = QCoreApplication::arguments();
    std::vector<std::string> urls;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        urls.push_back(arguments[i].toStdString());
    delegate.openURLs(urls);
    delegate.applicationDidFinishLaunching();
    application.exec();
    return 0;
}
