// Sends exact key events with XTEST: each keysym is looked up with
// XKeysymToKeycode and sent as it is, so Control_R presses only Right Ctrl
// (unlike `xdotool key`, which may add Left Ctrl).
// Usage: xkey STEP...
//   NAME        press and release the key of keysym NAME (Control_R, a, Return)
//   NAME:down   press only;  NAME:up  release only
//   sleep:MS    pause MS milliseconds (part of the key sequence, e.g. a slow tap)
//   has:NAME    send nothing; fail unless the layout has a key for NAME
// Every event is synced with the server before the next step. Exit 1 when a
// keysym is unknown or has no key in the current layout.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {
void pause(long ms)
{
    const timespec time { ms / 1000, (ms % 1000) * 1000 * 1000 };
    nanosleep(&time, nullptr);
}

// `press`: 1 press, 0 release, 2 both, -1 only look the key up.
bool send(Display *display, const std::string &name, int press)
{
    const KeySym keysym = XStringToKeysym(name.c_str());
    if (keysym == NoSymbol) {
        std::fprintf(stderr, "xkey: unknown keysym %s\n", name.c_str());
        return false;
    }
    const KeyCode keycode = XKeysymToKeycode(display, keysym);
    if (!keycode) {
        std::fprintf(stderr, "xkey: no key for %s in this layout\n", name.c_str());
        return false;
    }
    if (press < 0)
        return true;
    if (press != 0)
        XTestFakeKeyEvent(display, keycode, True, CurrentTime);
    if (press != 1)
        XTestFakeKeyEvent(display, keycode, False, CurrentTime);
    XSync(display, False);
    return true;
}
}  // namespace

int main(int argc, char **argv)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "xkey: cannot open display\n");
        return 2;
    }
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        std::fprintf(stderr, "xkey: no XTEST extension\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        const std::string::size_type colon = step.rfind(':');
        const std::string head = colon == std::string::npos ? step : step.substr(0, colon);
        const std::string tail = colon == std::string::npos ? std::string() : step.substr(colon + 1);
        bool ok = true;
        if (head == "sleep")
            pause(std::atol(tail.c_str()));
        else if (head == "has")
            ok = send(display, tail, -1);
        else if (tail == "down")
            ok = send(display, head, 1);
        else if (tail == "up")
            ok = send(display, head, 0);
        else
            ok = send(display, step, 2);
        if (!ok) {
            XCloseDisplay(display);
            return 1;
        }
    }
    XCloseDisplay(display);
    return 0;
}
