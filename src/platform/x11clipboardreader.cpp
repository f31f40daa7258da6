#include "x11clipboardreader.h"

#include <QDebug>
#include <QSocketNotifier>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <climits>

namespace {
// A window that vanishes or an owner that sends nonsense must not end the
// process; the read concerned simply fails.
int ignoreXErrors(Display *, XErrorEvent *)
{
    return 0;
}

// More targets than this are nonsense from a broken owner.
constexpr int maxTargets = 1000;

// The text targets in the order they are asked for; the first one the owner
// offers is read.
const char *const textTargets[]
    = { "UTF8_STRING", "text/plain;charset=utf-8", "STRING", "TEXT", "COMPOUND_TEXT", "text/plain" };

bool isImageFormat(const QString &name)
{
    return name.startsWith(QLatin1String("image/")) || name == QLatin1String("PIXMAP")
        || name == QLatin1String("BITMAP");
}
}  // namespace

X11ClipboardReader::X11ClipboardReader(QObject *parent)
    : QObject(parent)
    , deadline(this)
{
    deadline.setSingleShot(true);
    deadline.setInterval(replyDeadlineMs);
    connect(&deadline, &QTimer::timeout, this, [this] {
        giveUp("the clipboard's owner did not answer within 2 s");
        readEvents();
    });
}

X11ClipboardReader::~X11ClipboardReader()
{
    delete notifier;
    if (display) {
        if (window)
            XDestroyWindow(display, window);
        XCloseDisplay(display);
    }
}

bool X11ClipboardReader::isSupported(Display *dpy)
{
    int eventBase = 0;
    int errorBase = 0;
    return dpy && XFixesQueryExtension(dpy, &eventBase, &errorBase);
}

bool X11ClipboardReader::start()
{
    if (display)
        return true;
    display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XSetErrorHandler(&ignoreXErrors);
    int errorBase = 0;
    if (!XFixesQueryExtension(display, &xfixesEventBase, &errorBase)) {
        XCloseDisplay(display);
        display = nullptr;
        return false;
    }
    int major = 5;
    int minor = 0;
    XFixesQueryVersion(display, &major, &minor);
    XSetWindowAttributes attributes {};
    attributes.event_mask = PropertyChangeMask;
    window = XCreateWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, CopyFromParent, InputOnly,
        CopyFromParent, CWEventMask, &attributes);
    XFixesSelectSelectionInput(display, window, atom("CLIPBOARD"),
        XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask
            | XFixesSelectionClientCloseNotifyMask);
    XFlush(display);
    notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &X11ClipboardReader::readEvents);
    readEvents();
    return true;
}

unsigned long X11ClipboardReader::atom(const char *name)
{
    return XInternAtom(display, name, False);
}

QString X11ClipboardReader::atomName(unsigned long value)
{
    char *name = value ? XGetAtomName(display, value) : nullptr;
    if (!name)
        return QString();
    const QString result = QString::fromUtf8(name);
    XFree(name);
    return result;
}

void X11ClipboardReader::readEvents()
{
    if (!display)
        return;
    // Replies read by the calls below can leave events in Xlib's queue that
    // the socket no longer announces: go on until the queue is empty.
    while (XPending(display)) {
        QVector<XEvent> events;
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            events.append(event);
        }
        // Of a burst of owner changes only the last one is read; what came
        // before it belongs to reads it ends anyway.
        int from = 0;
        for (int i = 0; i < events.size(); ++i) {
            if (events.at(i).type == xfixesEventBase + XFixesSelectionNotify)
                from = i;
        }
        for (int i = from; i < events.size(); ++i) {
            XEvent &event = events[i];
            if (event.type == xfixesEventBase + XFixesSelectionNotify) {
                const auto &notify = reinterpret_cast<const XFixesSelectionNotifyEvent &>(event);
                ownerChanged(notify.owner, notify.timestamp);
            } else if (event.type == SelectionNotify && event.xselection.requestor == window) {
                selectionNotified(event.xselection.property, event.xselection.target, event.xselection.time);
            } else if (event.type == PropertyNotify && event.xproperty.window == window
                && event.xproperty.state == PropertyNewValue && incremental
                && event.xproperty.atom == property) {
                incrementArrived();
            }
        }
    }
}

void X11ClipboardReader::ownerChanged(unsigned long owner, unsigned long time)
{
    endTransfer();
    step = Step::Idle;
    snapshot = ClipboardSnapshot();
    queue.clear();
    textCandidates.clear();
    textTaken = false;
    if (owner == None) {
        // The owner went away: the clipboard is empty.
        emit snapshotRead(snapshot);
        return;
    }
    requestTime = time;
    step = Step::Targets;
    request(atom("TARGETS"));
}

void X11ClipboardReader::request(unsigned long target)
{
    // Each request gets a property of its own, so that a late answer to an
    // abandoned request is not taken for the answer to this one.
    static const char *const properties[]
        = { "QUILLET_CLIPBOARD_0", "QUILLET_CLIPBOARD_1", "QUILLET_CLIPBOARD_2", "QUILLET_CLIPBOARD_3" };
    propertyTurn = (propertyTurn + 1) % 4;
    property = atom(properties[propertyTurn]);
    XDeleteProperty(display, window, property);
    requestedTarget = target;
    XConvertSelection(display, atom("CLIPBOARD"), target, property, window, requestTime);
    XFlush(display);
    deadline.start();
}

bool X11ClipboardReader::readProperty(unsigned long name, bool *incr, unsigned long *type, QByteArray *bytes)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    const long longs = long(maxTextBytes / 4 + 1);
    const int status = XGetWindowProperty(
        display, window, name, 0, longs, True, AnyPropertyType, &actualType, &format, &count, &after, &data);
    bytes->clear();
    *incr = false;
    *type = actualType;
    bool ok = status == Success && actualType != None && after == 0;
    if (ok && actualType == atom("INCR")) {
        *incr = true;
    } else if (ok && data) {
        // Xlib hands 32-bit items over as longs.
        const qint64 itemSize = format == 32 ? qint64(sizeof(long)) : format == 16 ? 2 : 1;
        const qint64 size = qint64(count) * itemSize;
        ok = size <= maxTextBytes;
        if (ok)
            bytes->append(reinterpret_cast<const char *>(data), int(size));
    }
    if (data)
        XFree(data);
    return ok;
}

void X11ClipboardReader::selectionNotified(unsigned long answered, unsigned long target, unsigned long time)
{
    // A late answer to a request of an earlier owner is not this one's.
    if (step == Step::Idle || target != requestedTarget || time != requestTime
        || (answered != None && answered != property))
        return;
    if (answered == None) {
        // The owner refused this target.
        received(None, QByteArray());
        return;
    }
    bool incr = false;
    unsigned long type = None;
    QByteArray bytes;
    if (!readProperty(property, &incr, &type, &bytes)) {
        if (type == None) {
            // Announced but not there: taken as a refusal of this target.
            received(None, QByteArray());
            return;
        }
        giveUp("the clipboard's content is too large");
        return;
    }
    if (incr) {
        // Deleting the property (done by the read) asks for the pieces.
        incremental = true;
        incrementalType = None;
        incrementalBytes.clear();
        deadline.start();
        return;
    }
    received(type, bytes);
}

void X11ClipboardReader::incrementArrived()
{
    bool incr = false;
    unsigned long type = None;
    QByteArray piece;
    if (!readProperty(property, &incr, &type, &piece)) {
        // No property at all: a notice of something else; wait for the piece.
        if (type != None)
            giveUp("a piece of the clipboard's content could not be read");
        return;
    }
    if (piece.isEmpty()) {
        // The empty piece ends the transfer.
        incremental = false;
        const QByteArray whole = incrementalBytes;
        incrementalBytes.clear();
        received(incrementalType, whole);
        return;
    }
    if (incrementalBytes.size() + qint64(piece.size()) > maxTextBytes) {
        giveUp("the clipboard's content is too large");
        return;
    }
    incrementalType = type;
    incrementalBytes.append(piece);
    deadline.start();
}

void X11ClipboardReader::received(unsigned long type, const QByteArray &bytes)
{
    if (step == Step::Targets)
        takeTargets(type == None ? QByteArray() : bytes);
    else if (step == Step::Data)
        takeData(type, bytes);
}

void X11ClipboardReader::takeTargets(const QByteArray &bytes)
{
    const int count = qMin(int(bytes.size() / int(sizeof(Atom))), maxTargets);
    const auto *targets = reinterpret_cast<const Atom *>(bytes.constData());
    QVector<unsigned long> offered;
    for (int i = 0; i < count; ++i) {
        const QString name = atomName(targets[i]);
        if (name.isEmpty() || snapshot.formats.contains(name))
            continue;
        snapshot.formats.append(name);
        offered.append(targets[i]);
        snapshot.hasImage = snapshot.hasImage || isImageFormat(name);
        snapshot.hasColor = snapshot.hasColor || name == QLatin1String("application/x-color");
        if (ClipboardSnapshot::isMarkerFormat(name))
            queue.append(targets[i]);
    }
    if (snapshot.hasImage || snapshot.hasColor) {
        // Kept out of the history whatever text comes with them.
        finish();
        return;
    }
    for (const char *name : textTargets) {
        const unsigned long candidate = atom(name);
        // An owner without a target list may still give text.
        if (count == 0 || offered.contains(candidate))
            textCandidates.append(candidate);
    }
    if (count == 0)
        textCandidates = { atom("UTF8_STRING"), XA_STRING };
    next();
}

void X11ClipboardReader::takeData(unsigned long type, const QByteArray &bytes)
{
    if (textCandidates.contains(requestedTarget)) {
        if (type != None) {
            snapshot.text = decodeText(type, bytes);
            textTaken = true;
        }
    } else if (type != None) {
        snapshot.markerData.insert(atomName(requestedTarget), bytes);
    }
    next();
}

void X11ClipboardReader::next()
{
    step = Step::Data;
    if (!queue.isEmpty()) {
        request(queue.takeFirst());
        return;
    }
    // The first text target that gives an answer is the text.
    while (!textTaken && !textCandidates.isEmpty()) {
        const unsigned long candidate = textCandidates.first();
        if (candidate == requestedTarget) {
            textCandidates.removeFirst();
            continue;
        }
        request(candidate);
        return;
    }
    finish();
}

void X11ClipboardReader::finish()
{
    endTransfer();
    step = Step::Idle;
    emit snapshotRead(snapshot);
}

void X11ClipboardReader::giveUp(const char *reason)
{
    if (step == Step::Idle)
        return;
    endTransfer();
    step = Step::Idle;
    qDebug().noquote()
        << QStringLiteral("quillet: %1; this copy is not taken into the history.").arg(QLatin1String(reason));
}

void X11ClipboardReader::endTransfer()
{
    deadline.stop();
    if (display && property) {
        XDeleteProperty(display, window, property);
        XFlush(display);
    }
    incremental = false;
    incrementalBytes.clear();
}

QString X11ClipboardReader::decodeText(unsigned long type, const QByteArray &bytes)
{
    if (type == XA_STRING)
        return QString::fromLatin1(bytes);
    if (type == atom("COMPOUND_TEXT")) {
        XTextProperty text {};
        text.value = reinterpret_cast<unsigned char *>(const_cast<char *>(bytes.constData()));
        text.encoding = type;
        text.format = 8;
        text.nitems = static_cast<unsigned long>(bytes.size());
        char **list = nullptr;
        int count = 0;
        QString result;
        if (Xutf8TextPropertyToTextList(display, &text, &list, &count) >= Success && list) {
            for (int i = 0; i < count; ++i)
                result += QString::fromUtf8(list[i]);
            XFreeStringList(list);
        }
        return result;
    }
    return QString::fromUtf8(bytes);
}
