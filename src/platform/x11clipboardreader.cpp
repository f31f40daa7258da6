#include "x11clipboardreader.h"

#include "x11clipboardtargets.h"
#include "x11connectionguard.h"
#include "x11selectiontransfer.h"

#include <QDebug>
#include <QSocketNotifier>
#include <QTimer>
#include <QVector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

namespace {
// More targets than this are nonsense from a broken owner.
constexpr int maxTargets = 1000;
// Reads take the properties they are answered in from a ring this long.
constexpr int propertyRing = 16;

void skipped(const QString &reason)
{
    qDebug().noquote() << QStringLiteral("quillet: %1; this copy is not taken into the history.").arg(reason);
}
}  // namespace

X11ClipboardReader::X11ClipboardReader(QObject *parent)
    : QObject(parent)
    , deadline(new QTimer(this))
    , reconnect(new QTimer(this))
{
    deadline->setSingleShot(true);
    deadline->setInterval(replyDeadlineMs);
    connect(deadline, &QTimer::timeout, this, &X11ClipboardReader::deadlinePassed);
    reconnect->setSingleShot(true);
    reconnect->setInterval(reconnectDelayMs);
    connect(reconnect, &QTimer::timeout, this, [this] {
        if (!openConnection()) {
            reconnect->start();
            return;
        }
        // A change made while the connection was down is read now.
        const Window owner = XGetSelectionOwner(display, clipboardAtom);
        if (owner != None)
            beginRead(CurrentTime);
        checkConnection();
    });
}

X11ClipboardReader::~X11ClipboardReader()
{
    endRead();
    closeConnection();
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
    if (openConnection())
        return true;
    // The GUI thread's connection works, so this should soon too.
    reconnect->start();
    return false;
}

bool X11ClipboardReader::openConnection()
{
    display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    X11ConnectionGuard::watch(display, &broken);
    int errorBase = 0;
    if (!XFixesQueryExtension(display, &xfixesEventBase, &errorBase)) {
        closeConnection();
        return false;
    }
    int major = 5;
    int minor = 0;
    XFixesQueryVersion(display, &major, &minor);
    names.clear();
    clipboardAtom = atom(QStringLiteral("CLIPBOARD"));
    XSetWindowAttributes attributes {};
    watchWindow = XCreateWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, CopyFromParent,
        InputOnly, CopyFromParent, 0, &attributes);
    XFixesSelectSelectionInput(display, watchWindow, clipboardAtom,
        XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask
            | XFixesSelectionClientCloseNotifyMask);
    attributes.event_mask = PropertyChangeMask;
    requestor = XCreateWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, CopyFromParent,
        InputOnly, CopyFromParent, CWEventMask, &attributes);
    properties.clear();
    for (int i = 0; i < propertyRing; ++i)
        properties.append(atom(QStringLiteral("QUILLET_CLIPBOARD_%1").arg(i)));
    XFlush(display);
    notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &X11ClipboardReader::readEvents);
    readEvents();
    return display != nullptr;
}

void X11ClipboardReader::closeConnection()
{
    if (notifier) {
        // This may run within the notifier's own signal.
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
    }
    if (!display)
        return;
    if (!broken) {
        for (const unsigned long window : { watchWindow, requestor }) {
            if (window)
                XDestroyWindow(display, window);
        }
    }
    watchWindow = 0;
    requestor = 0;
    XCloseDisplay(display);
    display = nullptr;
}

void X11ClipboardReader::checkConnection()
{
    if (!display || !broken)
        return;
    // Another client ended our connection (or the server is going away).
    // Its socket would now wake the thread again and again for nothing:
    // it is closed, and a new one opened a little later.
    if (phase != Phase::Idle)
        skipped(QStringLiteral("the connection to the X server broke while the clipboard was read"));
    else
        qDebug("quillet: the clipboard reader's connection to the X server broke; it connects again.");
    endRead();
    closeConnection();
    reconnect->start();
}

unsigned long X11ClipboardReader::atom(const QString &name)
{
    return XInternAtom(display, name.toLatin1().constData(), False);
}

QString X11ClipboardReader::atomName(unsigned long value)
{
    const auto known = names.constFind(value);
    if (known != names.constEnd())
        return *known;
    // An atom the server does not know (a broken owner's list) gives an
    // error, which the guard ignores, and no name.
    char *name = value ? XGetAtomName(display, value) : nullptr;
    if (!name)
        return QString();
    const QString result = QString::fromUtf8(name);
    XFree(name);
    names.insert(value, result);
    return result;
}

void X11ClipboardReader::readEvents()
{
    if (!display)
        return;
    // Replies read by the calls below can leave events in Xlib's queue that
    // the socket no longer announces: go on until the queue is empty.
    while (display && !broken && XPending(display)) {
        QVector<XEvent> events;
        while (!broken && XPending(display)) {
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
        for (int i = 0; i < events.size() && !broken; ++i) {
            const XEvent &event = events.at(i);
            if (i < from) {
                if (event.xany.window == requestor)
                    drainLateAnswer(event);
            } else if (event.type == xfixesEventBase + XFixesSelectionNotify) {
                const auto &notify = reinterpret_cast<const XFixesSelectionNotifyEvent &>(event);
                ownerChanged(notify.owner, notify.timestamp);
            } else if (event.xany.window == requestor) {
                if (transfer && transfer->handle(event))
                    transferMoved();
                else
                    drainLateAnswer(event);
            }
        }
    }
    checkConnection();
}

void X11ClipboardReader::ownerChanged(unsigned long owner, unsigned long time)
{
    // The newer content is what counts: a read still going is dropped.
    endRead();
    if (owner == None) {
        // The owner went away: the clipboard is empty.
        emit snapshotRead(ClipboardSnapshot());
        return;
    }
    beginRead(time);
}

void X11ClipboardReader::beginRead(unsigned long time)
{
    endRead();
    propertyTurn = (propertyTurn + 1) % properties.size();
    readProperty = properties.at(propertyTurn);
    transfer.reset(new X11SelectionTransfer(display, requestor, maxTextBytes));
    // The time of the owner change: should the owner change again before
    // the request reaches the server, the request is refused rather than
    // answered by the newer owner for the older change.
    readTime = time;
    ask(Phase::Targets, QStringLiteral("TARGETS"));
}

void X11ClipboardReader::ask(Phase next, const QString &target)
{
    phase = next;
    asked = target;
    transfer->request(clipboardAtom, atom(target), readProperty, readTime);
    deadline->start();
}

void X11ClipboardReader::transferMoved()
{
    answered = true;
    switch (transfer->state()) {
    case X11SelectionTransfer::State::Idle:
        return;
    case X11SelectionTransfer::State::Waiting:
    case X11SelectionTransfer::State::Pieces:
        // Each piece has its own deadline: a large value may take longer
        // than one, as long as it keeps coming.
        deadline->start();
        return;
    case X11SelectionTransfer::State::Failed:
        giveUp(QLatin1String(transfer->failure()));
        return;
    case X11SelectionTransfer::State::Done:
    case X11SelectionTransfer::State::Refused:
        break;
    }
    const bool done = transfer->state() == X11SelectionTransfer::State::Done;
    if (phase == Phase::Targets) {
        takeTargets();
        return;
    }
    if (phase == Phase::Markers && done)
        snapshot.markerData.insert(asked, transfer->takeData());
    if (phase == Phase::Text && done) {
        snapshot.text = decodeText(transfer->type(), transfer->takeData());
        finish();
        return;
    }
    askNext();
}

void X11ClipboardReader::takeTargets()
{
    QStringList offered;
    const bool listed = transfer->state() == X11SelectionTransfer::State::Done && transfer->format() == 32;
    if (listed) {
        const QByteArray list = transfer->takeData();
        const auto *atoms = reinterpret_cast<const unsigned long *>(list.constData());
        const int count = qMin(int(list.size() / int(sizeof(unsigned long))), maxTargets);
        for (int i = 0; i < count; ++i)
            offered.append(atomName(atoms[i]));
    }
    const X11ClipboardTargets targets(offered, listed);
    snapshot.formats = targets.formats();
    snapshot.hasImage = targets.hasImage();
    snapshot.hasColor = targets.hasColor();
    if (snapshot.hasImage || snapshot.hasColor) {
        // Kept out of the history whatever text comes with them.
        finish();
        return;
    }
    markersLeft = targets.markers();
    textLeft = targets.textTargets();
    askNext();
}

void X11ClipboardReader::askNext()
{
    if (!markersLeft.isEmpty())
        ask(Phase::Markers, markersLeft.takeFirst());
    else if (!textLeft.isEmpty())
        ask(Phase::Text, textLeft.takeFirst());
    else
        finish();
}

void X11ClipboardReader::finish()
{
    const ClipboardSnapshot read = snapshot;
    endRead();
    emit snapshotRead(read);
}

void X11ClipboardReader::giveUp(const QString &reason)
{
    if (phase == Phase::Idle)
        return;
    endRead();
    skipped(reason);
}

void X11ClipboardReader::deadlinePassed()
{
    if (!transfer)
        return;
    // An answer may sit unannounced in Xlib's queue or on the socket (read
    // in passing by another call): it counts if it is there now.
    answered = false;
    readEvents();
    if (answered) {
        qDebug("quillet: the clipboard's answer had arrived unannounced; it was taken at the deadline.");
        return;
    }
    if (!transfer)
        return;
    const QString seconds = QString::number(replyDeadlineMs / 1000.0);
    giveUp(transfer->state() == X11SelectionTransfer::State::Pieces
            ? QStringLiteral("the clipboard's owner stopped sending its content for %1 s").arg(seconds)
            : QStringLiteral("the clipboard's owner did not answer within %1 s").arg(seconds));
    readEvents();
}

void X11ClipboardReader::drainLateAnswer(const XEvent &event)
{
    if (event.type != PropertyNotify || event.xproperty.state != PropertyNewValue
        || !properties.contains(event.xproperty.atom))
        return;
    // The property the read in progress waits on is its own.
    if (transfer && transfer->isBusy() && event.xproperty.atom == transfer->property())
        return;
    // An answer or a piece for a read given up on or dropped: deleted, it
    // takes no room, and an INCR owner goes on to its end as if read.
    XDeleteProperty(display, requestor, event.xproperty.atom);
    XFlush(display);
}

void X11ClipboardReader::endRead()
{
    deadline->stop();
    transfer.reset();
    phase = Phase::Idle;
    markersLeft.clear();
    textLeft.clear();
    asked.clear();
    snapshot = ClipboardSnapshot();
}

QString X11ClipboardReader::decodeText(unsigned long type, const QByteArray &value)
{
    QByteArray bytes = value;
    // Some owners end their text with a NUL, as in C.
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    if (type == XA_STRING)
        return QString::fromLatin1(bytes);
    if (type == atom(QStringLiteral("COMPOUND_TEXT"))) {
        XTextProperty text {};
        text.value = reinterpret_cast<unsigned char *>(bytes.data());
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
