#include "x11keyinjector.h"

#include "x11keymap.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

X11KeyInjector::X11KeyInjector(_XDisplay *display, QObject *parent)
    : QObject(parent)
    , display(display)
{
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    xtest = display && XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor);
    restoreTimer.setSingleShot(true);
    restoreTimer.setInterval(RestoreDelayMs);
    connect(&restoreTimer, &QTimer::timeout, this, [this] {
        if (held.isEmpty())
            restoreBorrowedKeys();
        else
            restoreTimer.start();
    });
}

X11KeyInjector::~X11KeyInjector()
{
    restoreBorrowedKeys();
}

void X11KeyInjector::inject(quint32 vk, bool release)
{
    if (!xtest)
        return;
    int keycode = 0;
    if (release) {
        // Release the keycode that was pressed, even if the mapping changed.
        keycode = held.take(vk);
        if (!keycode)
            keycode = keycodeFor(X11KeyMap::keysym(vk));
    } else {
        keycode = keycodeFor(X11KeyMap::keysym(vk));
        if (keycode)
            held.insert(vk, keycode);
    }
    if (!keycode)
        return;
    XTestFakeKeyEvent(display, unsigned(keycode), release ? False : True, CurrentTime);
    // Hand the event to the server now; waiting for a round trip here would
    // hold up the paste.
    XFlush(display);
    if (!borrowed.isEmpty())
        restoreTimer.start();
}

int X11KeyInjector::keycodeFor(unsigned long keysym)
{
    if (keysym == NoSymbol)
        return 0;
    if (const int spare = borrowed.value(keysym))
        return spare;
    if (const KeyCode keycode = XKeysymToKeycode(display, keysym))
        return keycode;
    return borrowSpareKeycode(keysym);
}

int X11KeyInjector::borrowSpareKeycode(unsigned long keysym)
{
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    int perKeycode = 0;
    KeySym *map = XGetKeyboardMapping(display, KeyCode(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
    if (!map)
        return 0;
    // The highest keycode without any keysym is the least likely to be
    // pressed by the user meanwhile.
    int spare = 0;
    for (int keycode = maxKeycode; keycode >= minKeycode && !spare; --keycode) {
        const KeySym *syms = map + (keycode - minKeycode) * perKeycode;
        bool empty = true;
        for (int i = 0; i < perKeycode && empty; ++i)
            empty = syms[i] == NoSymbol;
        bool taken = false;
        for (const int used : qAsConst(borrowed))
            taken = taken || used == keycode;
        if (empty && !taken)
            spare = keycode;
    }
    XFree(map);
    if (!spare)
        return 0;
    KeySym lower = NoSymbol;
    KeySym upper = NoSymbol;
    XConvertCase(keysym, &lower, &upper);
    KeySym syms[2] = { lower, upper };
    XChangeKeyboardMapping(display, spare, 2, syms, 1);
    borrowed.insert(keysym, spare);
    return spare;
}

void X11KeyInjector::restoreBorrowedKeys()
{
    restoreTimer.stop();
    if (borrowed.isEmpty() || !display)
        return;
    for (const int keycode : qAsConst(borrowed)) {
        KeySym none[2] = { NoSymbol, NoSymbol };
        XChangeKeyboardMapping(display, keycode, 2, none, 1);
    }
    borrowed.clear();
    XFlush(display);
}
