// Waits until some client owns an X selection, e.g. the tray host's
// _NET_SYSTEM_TRAY_S0 or the window manager's WM_S0.
// Usage: xwaitselection SELECTION [TIMEOUT_MS]; exit 0 once owned, 1 on time-out.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SELECTION [TIMEOUT_MS]\n", argv[0]);
        return 2;
    }
    const long timeoutMs = argc > 2 ? std::atol(argv[2]) : 5000;
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open display\n");
        return 2;
    }
    const Atom selection = XInternAtom(display, argv[1], False);
    const timespec pause { 0, 5 * 1000 * 1000 };
    for (long waited = 0; waited <= timeoutMs; waited += 5) {
        if (XGetSelectionOwner(display, selection) != 0) {
            XCloseDisplay(display);
            return 0;
        }
        nanosleep(&pause, nullptr);
    }
    XCloseDisplay(display);
    return 1;
}
