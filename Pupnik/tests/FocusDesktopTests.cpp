#include "PawletKit/ChildProcessRunner.hpp"
#include "PawletKit/Environment.hpp"
#include "PawletKit/ProcessAncestry.hpp"
#include "PawletKit/tests/TestSupport.hpp"
#include "Pupnik/ScriptedAlertPresenter.hpp"
#include "Pupnik/SessionFocuser.hpp"
#include "platform/Desktop/QtMainLoopWait.hpp"
#include "platform/Desktop/QtScheduler.hpp"
#include "platform/Desktop/X11WindowSystem.hpp"

#include <QCoreApplication>
#include <QGuiApplication>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

using namespace Pupnik;

extern char** environ;

namespace {

// A real xterm whose shell stands in for an agent session: its process chain leads to the xterm.
class Xterm final {
public:
    Xterm(std::string const& title, std::filesystem::path const& folder)
    {
        auto const pidFile = folder / (title + ".pid");
        std::string const script = "echo $$ > '" + pidFile.string() + "'; exec sleep 600";
        std::vector<std::string> words { "xterm", "-title", title, "-geometry", "80x20", "-e", "/bin/sh", "-c", script };
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&m_pid, "xterm", nullptr, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
        for (int attempt = 0; attempt < 500 && m_pid && !m_shell; ++attempt) {
            std::ifstream in(pidFile);
            if (!(in >> m_shell))
                m_shell = 0;
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~Xterm()
    {
        if (!m_pid)
            return;
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    Xterm(Xterm const&) = delete;
    Xterm& operator=(Xterm const&) = delete;

    pid_t pid() const { return m_pid; }
    pid_t shell() const { return m_shell; }

    // The session as the agent tool would report it from inside this terminal.
    PawletKit::SessionTarget session(std::string sid) const
    {
        auto const chain = PawletKit::ProcessAncestry::collect(m_shell);
        PawletKit::SessionTarget target;
        target.sid = std::move(sid);
        target.pids = chain.pids;
        target.names = chain.names;
        target.tty = chain.tty;
        return target;
    }

private:
    pid_t m_pid { 0 };
    pid_t m_shell { 0 };
};

bool waitUntil(std::function<bool()> const& condition, double seconds = 10)
{
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::optional<Platform::ManagedWindow> windowOf(Platform::WindowSystem& windows, pid_t pid)
{
    for (auto const& window : windows.windows())
        if (window.pid == pid)
            return window;
    return std::nullopt;
}

}

// Two agents in two xterms; the second waits. Asking for it makes its window the active one, as
// _NET_ACTIVE_WINDOW says, also when it was minimised; the first window stays as it is.
TEST(FocusOnTheDesktop, TheWaitingXtermBecomesTheActiveWindowAlsoWhenMinimised)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X11 desktop: run through scripts/with-desktop.sh";
    TestSupport::TemporaryDirectory folder;
    Platform::X11WindowSystem windows;
    ASSERT_TRUE(windows.isSupported());
    Xterm working("agent-working", folder.path());
    Xterm waiting("agent-waiting", folder.path());
    ASSERT_TRUE(working.shell() && waiting.shell()) << "the xterms did not start their shells";
    ASSERT_TRUE(waitUntil([&] { return windowOf(windows, working.pid()) && windowOf(windows, waiting.pid()); }));
    auto const workingWindow = windowOf(windows, working.pid())->id;
    auto const waitingWindow = windowOf(windows, waiting.pid())->id;

    Platform::QtScheduler scheduler(QCoreApplication::instance());
    Platform::QtMainLoopWait wait;
    Platform::SystemClock clock;
    ScriptedAlertPresenter alerts;
    SessionFocuser focuser({ windows, scheduler, wait, clock, alerts, std::make_shared<PawletKit::ChildProcessRunner>(),
        PawletKit::currentEnvironment(), [] { return 7u; } });
    auto const session = waiting.session("waiting-session");
    ASSERT_FALSE(session.pids.empty());
    EXPECT_EQ(focuser.appName({ session }), "XTerm");

    auto bringForward = [&](PawletKit::SessionTarget const& target, Platform::WindowId window, char const* what) {
        std::optional<SessionFocuser::Outcome> outcome;
        auto const asked = std::chrono::steady_clock::now();
        EXPECT_TRUE(focuser.focus({ target }, [&](auto const& o) { outcome = o; })) << what;
        bool const active = waitUntil([&] { return windows.activeWindow() == window; });
        auto const milliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked).count();
        EXPECT_TRUE(active) << what << ": the active window is " << windows.activeWindow().value_or(0) << ", not " << window;
        std::cout << "[ focus    ] " << what << ": request to active window in " << milliseconds << " ms\n";
        EXPECT_TRUE(waitUntil([&] { return outcome.has_value(); })) << what;
        if (outcome) {
            EXPECT_TRUE(outcome->success) << what << ": " << outcome->description();
        }
        return outcome;
    };

    // The working agent's window in front first, so the request has something to change.
    bringForward(working.session("working-session"), workingWindow, "the working agent");
    ASSERT_EQ(windows.activeWindow(), workingWindow);
    auto outcome = bringForward(session, waitingWindow, "the waiting agent");
    if (outcome) {
        EXPECT_EQ(outcome->method, "activate(options:)");
    }

    bringForward(working.session("working-session"), workingWindow, "the working agent again");
    ASSERT_EQ(windows.activeWindow(), workingWindow);
    EXPECT_EQ(std::system(("xdotool windowminimize " + std::to_string(waitingWindow)).c_str()), 0);
    ASSERT_TRUE(waitUntil([&] {
        auto w = windowOf(windows, waiting.pid());
        return w && w->isMinimized;
    })) << "the window manager did not minimise the waiting agent's window";
    bringForward(session, waitingWindow, "the minimised waiting agent");
    // The window manager tells that the window is no longer minimised in a change of its own.
    std::optional<Platform::ManagedWindow> shown;
    EXPECT_TRUE(waitUntil([&] {
        shown = windowOf(windows, waiting.pid());
        return shown && !shown->isMinimized;
    })) << "the waiting agent's window stayed minimised";
    ASSERT_TRUE(shown);

    auto const first = windowOf(windows, working.pid());
    ASSERT_TRUE(first) << "the working agent's window went away";
    EXPECT_EQ(first->id, workingWindow);
    EXPECT_FALSE(first->isMinimized);
    // What the window system read of the xterm's own properties.
    EXPECT_EQ(shown->title, "agent-waiting");
    EXPECT_EQ(shown->wmInstance, "xterm");
    EXPECT_EQ(shown->wmClass, "XTerm");
    EXPECT_TRUE(shown->isNormal);
}

// A waiting agent's window on another desktop is moved to the one the user looks at, rather than
// the user being taken to it.
TEST(FocusOnTheDesktop, AWindowOnAnotherDesktopComesToTheCurrentOne)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X11 desktop: run through scripts/with-desktop.sh";
    TestSupport::TemporaryDirectory folder;
    Platform::X11WindowSystem windows;
    Xterm waiting("agent-elsewhere", folder.path());
    ASSERT_TRUE(waiting.shell());
    ASSERT_TRUE(waitUntil([&] { return windowOf(windows, waiting.pid()).has_value(); }));
    auto const window = windowOf(windows, waiting.pid())->id;
    auto desktopOf = [](std::string const& query) {
        std::string output;
        if (FILE* pipe = ::popen(("xdotool " + query).c_str(), "r")) {
            char buffer[64] {};
            while (std::fgets(buffer, sizeof buffer, pipe))
                output += buffer;
            ::pclose(pipe);
        }
        return output.empty() ? -1 : std::atoi(output.c_str());
    };
    int const current = desktopOf("get_desktop");
    ASSERT_GE(current, 0);
    int const other = current == 0 ? 1 : 0;
    EXPECT_EQ(std::system(("xdotool set_desktop_for_window " + std::to_string(window) + " " + std::to_string(other)).c_str()), 0);
    ASSERT_TRUE(waitUntil([&] { return desktopOf("get_desktop_for_window " + std::to_string(window)) == other; }))
        << "the window manager did not move the window away";

    Platform::QtScheduler scheduler(QCoreApplication::instance());
    Platform::QtMainLoopWait wait;
    Platform::SystemClock clock;
    ScriptedAlertPresenter alerts;
    SessionFocuser focuser({ windows, scheduler, wait, clock, alerts, std::make_shared<PawletKit::ChildProcessRunner>(),
        PawletKit::currentEnvironment(), [] { return 7u; } });
    EXPECT_TRUE(focuser.focus({ waiting.session("elsewhere-session") }));
    EXPECT_TRUE(waitUntil([&] { return windows.activeWindow() == window; })) << "active: " << windows.activeWindow().value_or(0);
    int windowDesktop = -1;
    EXPECT_TRUE(waitUntil([&] { return (windowDesktop = desktopOf("get_desktop_for_window " + std::to_string(window))) == current; }))
        << "the window is on desktop " << windowDesktop << ", the user looks at " << current;
    // The user stays where they are.
    EXPECT_EQ(desktopOf("get_desktop"), current);
}
