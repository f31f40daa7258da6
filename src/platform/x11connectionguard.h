#ifndef X11CONNECTIONGUARD_H
#define X11CONNECTIONGUARD_H

struct _XDisplay;

// Keeps the X connections of the program's background threads from ending
// the process. Xlib reports a protocol error (a window that vanished, an
// atom an owner made up) through one handler for the whole process, and a
// broken connection (another client killed it with XKillClient) through
// another that by default ends the process. With the guard, protocol errors
// are ignored, and a broken connection of a background thread only marks
// that connection broken; its thread closes it and opens a new one. A
// broken connection of the GUI thread still ends the process, as Qt's
// own does.
class X11ConnectionGuard
{
public:
    // Once, on the GUI thread, after Qt has opened its own connection and
    // before any background thread opens one.
    static void install();
    // Has a break of `display` set *broken (and return) instead of ending
    // the process. Called on the thread that uses `display`, whose flag it
    // is.
    static void watch(_XDisplay *display, bool *broken);
};

#endif  // X11CONNECTIONGUARD_H
