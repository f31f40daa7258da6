#include "x11platform.h"

#include "background/workerthread.h"
#include "x11clipboardwatcher.h"
#include "x11connectionguard.h"
#include "x11focuskeeper.h"
#include "x11keyinjector.h"
#include "x11keywatcher.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWindow>
#include <QX11Info>

#include <X11/Xatom.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xcb.h>

#include <time.h>
#include <unistd.h>

Platform *createSystemPlatform()
{
    return new X11Platform;
}

namespace {
// The EWMH source indication of a pager, which window managers obey at once.
constexpr long ActivationSourcePager = 2;
// Made-up "thread" ids of foreign windows have this bit set, so they never
// equal a process id and never equal ours.
constexpr quint32 ForeignThreadBit = 0x80000000u;

// Failing requests (a window that vanished, focus on an unviewable window)
// are expected now and then on a live desktop; they must not end the process.
Atom atom(Display *dpy, const char *name)
{
    return XInternAtom(dpy, name, False);
}

// The first 32-bit value of a window's property of the given type, 0 when
// the property is missing or of another type.
unsigned long propertyValue(Display *dpy, Window window, Atom property, Atom type)
{
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    unsigned long value = 0;
    if (XGetWindowProperty(
            dpy, window, property, 0, 1, False, type, &actualType, &format, &count, &after, &data)
            == Success
        && data && actualType == type && format == 32 && count >= 1)
        value = reinterpret_cast<unsigned long *>(data)[0];
    if (data)
        XFree(data);
    return value;
}

bool hasProperty(Display *dpy, Window window, Atom property)
{
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    const bool found = XGetWindowProperty(dpy, window, property, 0, 0, False, AnyPropertyType, &actualType,
                           &format, &count, &after, &data)
            == Success
        && actualType != 0;
    if (data)
        XFree(data);
    return found;
}

// The window below `window` (itself included) that a window manager manages
// as a client, found by its WM_STATE; 0 if none within a few levels.
Window findClientBelow(Display *dpy, Window window, Atom wmState, int depth)
{
    if (hasProperty(dpy, window, wmState))
        return window;
    if (depth == 0)
        return 0;
    Window root = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy, window, &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i)
        found = findClientBelow(dpy, children[i], wmState, depth - 1);
    if (children)
        XFree(children);
    return found;
}
}  // namespace

X11Platform::X11Platform() = default;

X11Platform::~X11Platform()
{
    delete focusKeeper;
    delete injector;
    delete keyWatcher;
    delete eventNotifier;
    if (connection)
        XCloseDisplay(connection);
}

Display *X11Platform::display()
{
    if (opened)
        return connection;
    opened = true;
    connection = XOpenDisplay(nullptr);
    if (!connection)
        return nullptr;
    // A window that vanishes under a query must not end the program, nor
    // may a broken connection of one of its background threads.
    X11ConnectionGuard::install();
    // Keep the keymap this connection translates with up to date: layouts
    // change, and the injector borrows keycodes.
    keymap.select(connection);
    if (QCoreApplication::instance()) {
        eventNotifier = new QSocketNotifier(ConnectionNumber(connection), QSocketNotifier::Read);
        QObject::connect(eventNotifier, &QSocketNotifier::activated, eventNotifier, [this] { readEvents(); });
        focusKeeper = new X11FocusKeeper(this);
        QCoreApplication::instance()->installEventFilter(focusKeeper);
    }
    XFlush(connection);
    return connection;
}

void X11Platform::readEvents()
{
    keymap.readPending(connection);
}

Platform::HookHandle X11Platform::installKeyboardHook(HookProc proc)
{
    if (!QCoreApplication::instance() || !display())
        return 0;
    if (keyWatcher)
        return reinterpret_cast<HookHandle>(keyWatcher);
    auto *watcher = new X11KeyWatcher(proc);
    // Its first work once its thread runs, asked for before the thread
    // exists: opening its connections takes a few milliseconds that start-up
    // does not wait for. (A display without RECORD is named at start-up.)
    QMetaObject::invokeMethod(watcher, &X11KeyWatcher::begin, Qt::QueuedConnection);
    keyWatcher = new WorkerThread(watcher, QStringLiteral("quillet key watcher"));
    return reinterpret_cast<HookHandle>(keyWatcher);
}

void X11Platform::removeKeyboardHook(HookHandle hook)
{
    if (!keyWatcher || hook != reinterpret_cast<HookHandle>(keyWatcher))
        return;
    delete keyWatcher;
    keyWatcher = nullptr;
}

qintptr X11Platform::callNextHook(HookHandle, int, quintptr, qintptr)
{
    // RECORD only watches: the event reaches its window whatever we return.
    return 0;
}

quint32 X11Platform::tickCount()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const quint64 ms = quint64(now.tv_sec) * 1000u + quint64(now.tv_nsec) / 1000000u;
    return quint32(ms);
}

quint32 X11Platform::currentThreadId()
{
    // Everything of ours runs on the GUI thread; the process stands for it.
    return quint32(getpid());
}

bool X11Platform::windowManagerActivates()
{
    Display *dpy = display();
    if (!dpy)
        return false;
    const Window root = DefaultRootWindow(dpy);
    const Atom check = atom(dpy, "_NET_SUPPORTING_WM_CHECK");
    const Window wm = propertyValue(dpy, root, check, XA_WINDOW);
    // A stale check window left by a window manager that has gone does not
    // point to itself.
    if (!wm || propertyValue(dpy, wm, check, XA_WINDOW) != wm)
        return false;
    const Atom active = atom(dpy, "_NET_ACTIVE_WINDOW");
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    bool supported = false;
    if (XGetWindowProperty(dpy, root, atom(dpy, "_NET_SUPPORTED"), 0, 4096, False, XA_ATOM, &actualType,
            &format, &count, &after, &data)
            == Success
        && data && format == 32) {
        const auto *atoms = reinterpret_cast<const unsigned long *>(data);
        for (unsigned long i = 0; i < count && !supported; ++i)
            supported = atoms[i] == active;
    }
    if (data)
        XFree(data);
    return supported;
}

Platform::WindowId X11Platform::activeWindow()
{
    Display *dpy = display();
    if (!dpy)
        return 0;
    return propertyValue(dpy, DefaultRootWindow(dpy), atom(dpy, "_NET_ACTIVE_WINDOW"), XA_WINDOW);
}

Platform::WindowId X11Platform::inputFocusClient()
{
    Display *dpy = display();
    if (!dpy)
        return 0;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    return clientWindow(focus);
}

Platform::WindowId X11Platform::clientWindow(WindowId window)
{
    Display *dpy = display();
    const Window root = dpy ? DefaultRootWindow(dpy) : 0;
    if (!dpy || window == None || window == PointerRoot || window == root)
        return 0;
    // Up from the window: the nearest managed client holding it, or else
    // the top-level it belongs to.
    const Atom wmState = atom(dpy, "WM_STATE");
    Window current = window;
    for (;;) {
        if (hasProperty(dpy, current, wmState))
            return current;
        Window treeRoot = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(dpy, current, &treeRoot, &parent, &children, &count))
            return 0;
        if (children)
            XFree(children);
        if (parent == treeRoot || parent == None)
            break;
        current = parent;
    }
    // A window manager's frame holds its client further down; without a
    // window manager the top-level is the client.
    const Window client = findClientBelow(dpy, current, wmState, 3);
    return client ? client : current;
}

bool X11Platform::isOwnWindow(WindowId window) const
{
    const auto windows = QGuiApplication::allWindows();
    for (QWindow *own : windows) {
        if (own->handle() && own->winId() == window)
            return true;
    }
    return false;
}

Platform::WindowId X11Platform::foregroundWindow()
{
    if (!display())
        return 0;
    if (windowManagerActivates()) {
        if (const WindowId active = activeWindow())
            return active;
    }
    return inputFocusClient();
}

quint32 X11Platform::windowThreadId(WindowId window)
{
    Display *dpy = display();
    if (!dpy || !window)
        return 0;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dpy, window, &attributes))
        return 0;
    if (isOwnWindow(window))
        return currentThreadId();
    return ForeignThreadBit | quint32(window & ~quintptr(ForeignThreadBit));
}

bool X11Platform::attachThreadInput(quint32 from, quint32 to, bool)
{
    // X11 has no per-thread input state to share; what remains is that a
    // thread cannot be attached to itself.
    return from != 0 && to != 0 && from != to;
}

bool X11Platform::caretPosition(QPoint *)
{
    // X11 has no system caret.
    return false;
}

Platform::WindowId X11Platform::focusWindow()
{
    if (const WindowId focus = inputFocusClient())
        return focus;
    return windowManagerActivates() ? activeWindow() : 0;
}

bool X11Platform::windowRect(WindowId window, QRect *rect)
{
    Display *dpy = display();
    if (!dpy || !window)
        return false;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dpy, window, &attributes))
        return false;
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(dpy, window, attributes.root, 0, 0, &x, &y, &child))
        return false;
    if (rect)
        *rect = QRect(x, y, attributes.width, attributes.height);
    return true;
}

bool X11Platform::setForegroundWindow(WindowId window)
{
    Display *dpy = display();
    if (!dpy || !window)
        return false;
    const bool managed = windowManagerActivates();
    const WindowId current = managed ? activeWindow() : inputFocusClient();
    // Already in front: asking again would only race the activation of a
    // window we are about to show.
    if (current == window)
        return true;
    if (managed) {
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = atom(dpy, "_NET_ACTIVE_WINDOW");
        event.xclient.format = 32;
        event.xclient.data.l[0] = ActivationSourcePager;
        event.xclient.data.l[1] = CurrentTime;
        event.xclient.data.l[2] = long(current);
        XSendEvent(
            dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XRaiseWindow(dpy, window);
    }
    // Set the focus directly as well, so that keys injected right after this
    // go to the window even before the window manager has acted.
    XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
    // No round trip: the user is waiting for the paste.
    XFlush(dpy);
    return true;
}

QStringList X11Platform::windowClasses(WindowId window)
{
    QStringList classes;
    Display *dpy = display();
    if (!dpy || !window)
        return classes;
    const auto add = [dpy, &classes](Window from) {
        XClassHint hint {};
        if (!XGetClassHint(dpy, from, &hint))
            return;
        // WM_CLASS is Latin-1 text.
        for (char *name : { hint.res_name, hint.res_class }) {
            if (name && *name)
                classes << QString::fromLatin1(name);
            if (name)
                XFree(name);
        }
    };
    add(window);
    const WindowId top = clientWindow(window);
    if (top && top != window)
        add(top);
    return classes;
}

void X11Platform::injectKey(quint32 vk, quint32 flags)
{
    Display *dpy = display();
    if (!dpy)
        return;
    if (!injector)
        injector = new X11KeyInjector(dpy);
    injector->inject(vk, flags & Keys::KeyEventKeyUp);
}

ClipboardWatcher *X11Platform::createClipboardWatcher(QObject *parent)
{
    if (X11ClipboardWatcher::isSupported(display()))
        return new X11ClipboardWatcher(parent);
    return Platform::createClipboardWatcher(parent);
}

void X11Platform::flushWindowRequests()
{
    // Qt's own connection, not ours: it carries the requests of Qt's windows.
    if (xcb_connection_t *qtConnection = QX11Info::isPlatformX11() ? QX11Info::connection() : nullptr)
        xcb_flush(qtConnection);
}

QString X11Platform::sessionProblem() const
{
    const bool wayland
        = qgetenv("XDG_SESSION_TYPE") == "wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (wayland)
        return QStringLiteral("quillet: this is a Wayland session, which quillet does not "
                              "support: the global hot key (Right Ctrl twice) and the paste "
                              "need an X11 session. Log in to an X11 session to use them.");
    Display *dpy = const_cast<X11Platform *>(this)->display();
    if (!dpy)
        return QStringLiteral("quillet: cannot open the X display (is DISPLAY set?); the "
                              "global hot key and the paste need an X11 session.");
    QStringList missing;
    int opcode = 0;
    int eventBase = 0;
    int errorBase = 0;
    if (!XQueryExtension(dpy, "RECORD", &opcode, &eventBase, &errorBase))
        missing << QStringLiteral("the RECORD extension (needed for the hot key)");
    if (!XQueryExtension(dpy, "XTEST", &opcode, &eventBase, &errorBase))
        missing << QStringLiteral("the XTEST extension (needed for the paste)");
    if (!missing.isEmpty())
        return QStringLiteral("quillet: this X server lacks %1; enable %2 in the X server's "
                              "configuration or start quillet on another display.")
            .arg(missing.join(QStringLiteral(" and ")),
                missing.size() > 1 ? QStringLiteral("these extensions") : QStringLiteral("the extension"));
    return QString();
}
