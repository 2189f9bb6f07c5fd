// How long a program takes from its start to its first window on the screen: run on an X display
// without a window manager, it starts the program, waits for the first top-level window to be
// mapped, prints the milliseconds and ends the program.
//   first_window_shown <program> [argument…]
#include <X11/Xlib.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <program> [argument…]\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "first_window_shown: no display\n");
        return 1;
    }
    Window const root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    auto const start = std::chrono::steady_clock::now();
    pid_t const child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    if (child < 0)
        return 1;
    double shown = -1;
    pollfd connection { ConnectionNumber(display), POLLIN, 0 };
    while (shown < 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
        while (XPending(display) > 0 && shown < 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.event == root)
                shown = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        }
        if (shown < 0)
            poll(&connection, 1, 100);
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    XCloseDisplay(display);
    if (shown < 0) {
        std::fprintf(stderr, "first_window_shown: no window within 30 s\n");
        return 1;
    }
    std::printf("%.1f\n", shown);
    return 0;
}
