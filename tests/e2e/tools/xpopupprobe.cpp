// Measures how fast the program answers its hot key: taps Right Ctrl twice
// with XTEST, times the wait until a top-level window named TITLE is mapped
// and holds the keyboard focus, then presses Escape and waits until it is
// gone again and the focus is back where it was.
// Usage: xpopupprobe TITLE ROUNDS GAP_MS TIMEOUT_MS [WHILE_MISSING_FILE]
//   ROUNDS rounds, GAP_MS apart; with WHILE_MISSING_FILE it stops early
//   (after at least one round) once that file exists.
// Prints one line per round: "round N: shown after X ms, hidden after Y ms"
// and finally "worst: X ms". Exit 1 when a round times out.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

void pauseMs(long ms)
{
    const timespec time { ms / 1000, (ms % 1000) * 1000 * 1000 };
    nanosleep(&time, nullptr);
}

void tap(Display *display, const char *name)
{
    const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(name));
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
}

// The child of the root that holds `window`.
Window topLevel(Display *display, Window window)
{
    const Window root = DefaultRootWindow(display);
    while (window && window != root) {
        Window rootReturn = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count))
            return 0;
        if (children)
            XFree(children);
        if (parent == root)
            return window;
        window = parent;
    }
    return 0;
}

// Some window in the tree under `window` (itself included) called `title`.
bool named(Display *display, Window window, const std::string &title, int depth = 0)
{
    char *name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        const bool same = title == name;
        XFree(name);
        if (same)
            return true;
    }
    if (depth > 2)
        return false;
    Window rootReturn = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count))
        return false;
    bool found = false;
    for (unsigned int i = 0; i < count && !found; ++i)
        found = named(display, children[i], title, depth + 1);
    if (children)
        XFree(children);
    return found;
}

Window focusedTopLevel(Display *display)
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == PointerRoot || focus == 0)
        return 0;
    return topLevel(display, focus);
}

bool popupFocused(Display *display, const std::string &title)
{
    const Window top = focusedTopLevel(display);
    if (!top)
        return false;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, top, &attributes) || attributes.map_state != IsViewable)
        return false;
    return named(display, top, title);
}

int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;  // windows may vanish while we look at them
}
}  // namespace

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: xpopupprobe TITLE ROUNDS GAP_MS TIMEOUT_MS [WHILE_MISSING_FILE]\n");
        return 2;
    }
    const std::string title = argv[1];
    const int rounds = std::atoi(argv[2]);
    const long gap = std::atol(argv[3]);
    const double timeout = std::atof(argv[4]);
    const char *whileMissing = argc > 5 ? argv[5] : nullptr;
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "xpopupprobe: cannot open display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);

    double worst = 0;
    int done = 0;
    for (int round = 1; round <= rounds; ++round) {
        if (round > 1 && whileMissing && access(whileMissing, F_OK) == 0)
            break;
        const Window before = focusedTopLevel(display);
        tap(display, "Control_R");
        tap(display, "Control_R");
        const Clock::time_point tapped = Clock::now();
        while (!popupFocused(display, title) && msSince(tapped) < timeout)
            pauseMs(1);
        const double shown = msSince(tapped);
        if (shown >= timeout) {
            std::printf("round %d: the popup did not come up within %.0f ms\n", round, timeout);
            XCloseDisplay(display);
            return 1;
        }
        if (shown > worst)
            worst = shown;
        tap(display, "Escape");
        const Clock::time_point escaped = Clock::now();
        while ((popupFocused(display, title) || focusedTopLevel(display) != before)
            && msSince(escaped) < timeout)
            pauseMs(1);
        const double hidden = msSince(escaped);
        std::printf("round %d: shown after %.1f ms, hidden after %.1f ms\n", round, shown, hidden);
        std::fflush(stdout);
        ++done;
        if (hidden >= timeout) {
            std::printf(
                "round %d: the popup did not hide and give the focus back within %.0f ms\n", round, timeout);
            XCloseDisplay(display);
            return 1;
        }
        pauseMs(gap);
    }
    std::printf("worst: %.1f ms over %d rounds\n", worst, done);
    XCloseDisplay(display);
    return 0;
}
