#include "x11keywatcher.h"

#include "x11connectionguard.h"
#include "x11keymap.h"

#include <QDebug>
#include <QSocketNotifier>
#include <QTimer>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>

namespace {
void interceptKeys(XPointer closure, XRecordInterceptData *recorded)
{
    if (recorded->category == XRecordFromServer && recorded->data_len > 0) {
        const auto *event = reinterpret_cast<const xEvent *>(recorded->data);
        const int type = event->u.u.type & 0x7f;
        if (type == KeyPress || type == KeyRelease) {
            reinterpret_cast<X11KeyWatcher *>(closure)->record(event->u.u.detail, type == KeyPress,
                event->u.keyButtonPointer.state, quint32(event->u.keyButtonPointer.time));
        }
    }
    XRecordFreeData(recorded);
}
}  // namespace

X11KeyWatcher::X11KeyWatcher(Platform::HookProc proc, QObject *parent)
    : QObject(parent)
    , hookProc(proc)
    , restart(new QTimer(this))
{
    restart->setSingleShot(true);
    restart->setInterval(restartDelayMs);
    connect(restart, &QTimer::timeout, this, [this] {
        if (!start())
            restart->start();
    });
}

X11KeyWatcher::~X11KeyWatcher()
{
    stop();
}

void X11KeyWatcher::begin()
{
    // A display without RECORD has been named at start-up already.
    start();
}

bool X11KeyWatcher::start()
{
    if (context)
        return true;
    control = XOpenDisplay(nullptr);
    data = XOpenDisplay(nullptr);
    if (control)
        X11ConnectionGuard::watch(control, &controlBroken);
    if (data)
        X11ConnectionGuard::watch(data, &dataBroken);
    int major = 0;
    int minor = 0;
    int unused = 0;
    // Asking for the version of a missing extension makes Xlib print a
    // line of its own; the start-up message already names what is missing.
    const bool hasRecord = control && XQueryExtension(control, "RECORD", &unused, &unused, &unused);
    if (!hasRecord || !data || !XRecordQueryVersion(control, &major, &minor)) {
        stop();
        return false;
    }
    XRecordRange *range = XRecordAllocRange();
    if (!range) {
        stop();
        return false;
    }
    range->device_events.first = KeyPress;
    range->device_events.last = KeyRelease;
    XRecordClientSpec clients = XRecordAllClients;
    context = XRecordCreateContext(control, 0, &clients, 1, &range, 1);
    XFree(range);
    if (!context) {
        stop();
        return false;
    }
    // Keys are named with the keymap of the moment: layouts change.
    keymap.select(control);
    // The context must exist on the server before the other connection
    // enables it.
    XSync(control, False);
    if (!XRecordEnableContextAsync(data, context, &interceptKeys, reinterpret_cast<XPointer>(this))) {
        stop();
        return false;
    }
    XFlush(data);
    dataNotifier = new QSocketNotifier(ConnectionNumber(data), QSocketNotifier::Read, this);
    connect(dataNotifier, &QSocketNotifier::activated, this, &X11KeyWatcher::readRecordedData);
    controlNotifier = new QSocketNotifier(ConnectionNumber(control), QSocketNotifier::Read, this);
    connect(controlNotifier, &QSocketNotifier::activated, this, [this] {
        readControlEvents();
        checkConnections();
    });
    readRecordedData();
    return true;
}

void X11KeyWatcher::record(int keycode, bool press, unsigned int state, quint32 time)
{
    pending.append({ keycode, press, state, time });
}

void X11KeyWatcher::readRecordedData()
{
    if (!data)
        return;
    XRecordProcessReplies(data);
    // Hand on only after reading: the procedure may make X requests of its
    // own, which must not happen inside Xlib's callback.
    QVector<KeyEvent> events;
    events.swap(pending);
    for (const KeyEvent &event : qAsConst(events))
        deliver(event);
    checkConnections();
}

void X11KeyWatcher::checkConnections()
{
    if (!controlBroken && !dataBroken)
        return;
    // A broken connection's socket would wake the thread again and again
    // for nothing: both are closed, and the recording starts afresh.
    qDebug("quillet: the key watcher's connection to the X server broke; it connects again.");
    stop();
    restart->start();
}

void X11KeyWatcher::readControlEvents()
{
    // A key map that changed is read again before the next key is named.
    if (control)
        keymap.readPending(control, &controlBroken);
}

void X11KeyWatcher::deliver(const KeyEvent &event)
{
    readControlEvents();
    const unsigned long keysym = keysymOf(event.keycode);
    KeyboardRecord record;
    record.vkCode = X11KeyMap::virtualKey(keysym);
    record.scanCode = quint32(event.keycode);
    record.flags = X11KeyMap::recordFlags(keysym, event.press, event.state);
    record.time = event.time;
    hookProc(Keys::HookAction, X11KeyMap::message(keysym, event.press, event.state),
        reinterpret_cast<qintptr>(&record));
}

unsigned long X11KeyWatcher::keysymOf(int keycode)
{
    const KeySym first = XkbKeycodeToKeysym(control, KeyCode(keycode), 0, 0);
    if (X11KeyMap::virtualKey(first) != X11KeyMap::UnknownKey)
        return first;
    // A key of a non-Latin group is named by what it is in another group,
    // much as Windows names keys by their place on the keyboard.
    for (int group = 1; group < XkbNumKbdGroups; ++group) {
        const KeySym other = XkbKeycodeToKeysym(control, KeyCode(keycode), group, 0);
        if (X11KeyMap::virtualKey(other) != X11KeyMap::UnknownKey)
            return other;
    }
    return first;
}

void X11KeyWatcher::stop()
{
    // This may run within a notifier's own signal.
    for (QSocketNotifier *notifier : { dataNotifier, controlNotifier }) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    dataNotifier = nullptr;
    controlNotifier = nullptr;
    if (context && control && !controlBroken) {
        XRecordDisableContext(control, context);
        XRecordFreeContext(control, context);
        XSync(control, False);
    }
    context = 0;
    if (data)
        XCloseDisplay(data);
    if (control)
        XCloseDisplay(control);
    data = nullptr;
    control = nullptr;
}
