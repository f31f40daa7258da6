#include "x11keywatcher.h"

#include <QSocketNotifier>

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

X11KeyWatcher::X11KeyWatcher(QObject *parent)
    : QObject(parent)
{ }

X11KeyWatcher::~X11KeyWatcher()
{
    stop();
}

bool X11KeyWatcher::start()
{
    if (context)
        return true;
    control = XOpenDisplay(nullptr);
    data = XOpenDisplay(nullptr);
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
    // The context must exist on the server before the other connection
    // enables it.
    XSync(control, False);
    if (!XRecordEnableContextAsync(data, context, &interceptKeys, reinterpret_cast<XPointer>(this))) {
        stop();
        return false;
    }
    XFlush(data);
    notifier = new QSocketNotifier(ConnectionNumber(data), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &X11KeyWatcher::readRecordedData);
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
    // Announce only after reading: whoever listens may do X requests of its
    // own, or even run an event loop, which must not happen inside Xlib.
    QVector<KeyEvent> events;
    events.swap(pending);
    for (const KeyEvent &event : qAsConst(events))
        emit keyEvent(event.keycode, event.press, event.state, event.time);
}

void X11KeyWatcher::stop()
{
    delete notifier;
    notifier = nullptr;
    if (context && control) {
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
