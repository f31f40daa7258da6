#include "x11probe.h"

#include "settings/cliplistcodec.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

struct X11Probe::Atoms
{
    Atom clipboard;
    Atom targets;
    Atom utf8;
    Atom text;
};

namespace {
Display *dpy(void *display)
{
    return static_cast<Display *>(display);
}
}  // namespace

X11Probe::X11Probe()
{
    Display *d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "x11probe: cannot open the display\n");
        return;
    }
    display = d;
    root = DefaultRootWindow(d);
    XSelectInput(d, root, SubstructureNotifyMask);
    own = XCreateSimpleWindow(d, root, 0, 600, 200, 100, 0, 0, 0xffffff);
    XStoreName(d, own, "probe");
    XSelectInput(d, own, StructureNotifyMask | FocusChangeMask);
    XMapWindow(d, own);
    atoms = new Atoms { XInternAtom(d, "CLIPBOARD", False), XInternAtom(d, "TARGETS", False),
        XInternAtom(d, "UTF8_STRING", False), XInternAtom(d, "text/plain;charset=utf-8", False) };
    XSync(d, False);
}

X11Probe::~X11Probe()
{
    stop();
    releaseClipboard();
    stopWindowManager();
    delete dir;
    delete atoms;
    if (display)
        XCloseDisplay(dpy(display));
}

bool X11Probe::prepare(const QStringList &history)
{
    delete dir;
    dir = new QTemporaryDir;
    if (!dir->isValid())
        return false;
    const QString program = dir->path() + QStringLiteral("/quillet");
    if (!QFile::copy(QStringLiteral(QUILLET_PROGRAM), program))
        return false;
    writeKeywordList(dir->path());
    if (history.isEmpty())
        return true;
    QFile file(dir->path() + QStringLiteral("/cliplist.dat"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(ClipListCodec::encode(history)) > 0;
}

bool X11Probe::launch()
{
    const QByteArray program = QFile::encodeName(dir->path() + QStringLiteral("/quillet"));
    started = nowMs();
    child = fork();
    if (child < 0) {
        child = 0;
        return false;
    }
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(program.constData(), program.constData(), static_cast<char *>(nullptr));
        _exit(127);
    }
    return true;
}

bool X11Probe::nextEvent(double deadline, void *event)
{
    Display *d = dpy(display);
    for (;;) {
        while (XPending(d)) {
            XNextEvent(d, static_cast<XEvent *>(event));
            const XEvent *e = static_cast<XEvent *>(event);
            // A served request is returned too, so that a caller waiting
            // for the clipboard to be read sees it at once.
            if (e->type == SelectionRequest)
                handleSelectionRequest(e);
            return true;
        }
        const double left = deadline - nowMs();
        if (left <= 0)
            return false;
        pollfd fd { ConnectionNumber(d), POLLIN, 0 };
        poll(&fd, 1, int(left) + 1);
    }
}

bool X11Probe::waitDocked(double timeoutMs, double *at)
{
    const double deadline = nowMs() + timeoutMs;
    XEvent event;
    while (nextEvent(deadline, &event)) {
        if (event.type == ReparentNotify && event.xreparent.parent != root) {
            *at = nowMs();
            return true;
        }
    }
    return false;
}

void X11Probe::stop()
{
    if (child <= 0)
        return;
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    child = 0;
    popup = 0;
    if (display)
        pause(50);  // let the tray host drop the icon
}

long X11Probe::residentKb() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(child));
    if (child <= 0 || !status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

long X11Probe::proportionalKb() const
{
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(child));
    if (child <= 0 || !rollup.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = rollup.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void X11Probe::focusOwnWindow()
{
    Display *d = dpy(display);
    XSetInputFocus(d, own, RevertToParent, CurrentTime);
    XSync(d, False);
}

void X11Probe::key(const char *keysym, bool press)
{
    Display *d = dpy(display);
    const KeyCode code = XKeysymToKeycode(d, XStringToKeysym(keysym));
    XTestFakeKeyEvent(d, code, press ? True : False, CurrentTime);
}

double X11Probe::doubleTap()
{
    Display *d = dpy(display);
    key("Control_R", true);
    key("Control_R", false);
    XSync(d, False);
    pause(40);
    key("Control_R", true);
    XSync(d, False);
    pause(20);
    const double release = nowMs();
    key("Control_R", false);
    XFlush(d);
    return release;
}

bool X11Probe::waitPopupFocused(const char *title, double timeoutMs, double *at)
{
    // The focus is polled rather than MapNotify awaited: under a window
    // manager the popup is mapped inside a frame, out of the root's sight.
    Display *d = dpy(display);
    const double deadline = nowMs() + timeoutMs;
    Window checked = 0;
    while (nowMs() < deadline) {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(d, &focus, &revert);
        if (focus != checked && focus != own && focus != None && focus != PointerRoot) {
            checked = focus;
            char *name = nullptr;
            bool found = false;
            if (XFetchName(d, focus, &name) && name) {
                found = std::strcmp(name, title) == 0;
                XFree(name);
            }
            XWindowAttributes attributes;
            if (found && XGetWindowAttributes(d, focus, &attributes) && attributes.map_state == IsViewable) {
                *at = nowMs();
                popup = focus;
                return true;
            }
            if (found)
                checked = 0;  // named so but not viewable yet: look again
        }
        // Serve the clipboard and drain events meanwhile.
        XEvent event;
        while (XPending(d))
            nextEvent(nowMs(), &event);
        const timespec wait { 0, 100 * 1000 };
        nanosleep(&wait, nullptr);
    }
    return false;
}

bool X11Probe::dismissPopup(double timeoutMs)
{
    Display *d = dpy(display);
    key("Escape", true);
    key("Escape", false);
    XFlush(d);
    const double deadline = nowMs() + timeoutMs;
    while (nowMs() < deadline) {
        XWindowAttributes attributes;
        if (!popup || !XGetWindowAttributes(d, popup, &attributes) || attributes.map_state != IsViewable)
            return true;
        pause(1);
    }
    return false;
}

bool X11Probe::hangClipboard()
{
    if (!display)
        return false;
    if (!hungDisplay) {
        Display *hung = XOpenDisplay(nullptr);
        if (!hung)
            return false;
        hungDisplay = hung;
        hungWindow = XCreateSimpleWindow(hung, DefaultRootWindow(hung), 0, 0, 1, 1, 0, 0, 0);
    }
    Display *hung = dpy(hungDisplay);
    // Its events are never read: requests for the clipboard go unanswered.
    XSetSelectionOwner(hung, XInternAtom(hung, "CLIPBOARD", False), hungWindow, CurrentTime);
    XSync(hung, False);
    return XGetSelectionOwner(hung, XInternAtom(hung, "CLIPBOARD", False)) == hungWindow;
}

void X11Probe::releaseClipboard()
{
    if (hungDisplay)
        XCloseDisplay(dpy(hungDisplay));
    hungDisplay = nullptr;
    hungWindow = 0;
}

bool X11Probe::startWindowManager(double timeoutMs)
{
    if (!display)
        return false;
    windowManager = fork();
    if (windowManager < 0) {
        windowManager = 0;
        return false;
    }
    if (windowManager == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execlp("openbox", "openbox", static_cast<char *>(nullptr));
        _exit(127);
    }
    Display *d = dpy(display);
    const Atom managed = XInternAtom(d, "WM_S0", False);
    const double deadline = nowMs() + timeoutMs;
    while (nowMs() < deadline) {
        if (XGetSelectionOwner(d, managed) != None)
            return true;
        pause(5);
    }
    stopWindowManager();
    return false;
}

void X11Probe::stopWindowManager()
{
    if (windowManager <= 0)
        return;
    kill(windowManager, SIGTERM);
    int status = 0;
    waitpid(windowManager, &status, 0);
    windowManager = 0;
    pause(100);
}

void X11Probe::handleSelectionRequest(const void *raw)
{
    Display *d = dpy(display);
    const XSelectionRequestEvent &request = static_cast<const XEvent *>(raw)->xselectionrequest;
    XSelectionEvent reply {};
    reply.type = SelectionNotify;
    reply.display = d;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    reply.property = request.property ? request.property : request.target;
    if (request.target == atoms->targets) {
        const Atom offered[] = { atoms->targets, atoms->utf8, atoms->text, XA_STRING };
        XChangeProperty(d, request.requestor, reply.property, XA_ATOM, 32, PropModeReplace,
            reinterpret_cast<const unsigned char *>(offered), 4);
    } else if (request.target == atoms->utf8 || request.target == atoms->text
        || request.target == XA_STRING) {
        XChangeProperty(d, request.requestor, reply.property, request.target, 8, PropModeReplace,
            reinterpret_cast<const unsigned char *>(clipText.constData()), clipText.size());
        textServed = true;
    } else {
        reply.property = 0;  // not offered
    }
    XSendEvent(d, request.requestor, False, 0, reinterpret_cast<XEvent *>(&reply));
    XFlush(d);
}

bool X11Probe::offerClipboard(const QByteArray &utf8, double timeoutMs)
{
    Display *d = dpy(display);
    clipText = utf8;
    textServed = false;
    XSetSelectionOwner(d, atoms->clipboard, own, CurrentTime);
    XFlush(d);
    const double deadline = nowMs() + timeoutMs;
    XEvent event;
    while (!textServed && nextEvent(deadline, &event)) { }
    return textServed;
}

void X11Probe::pause(double ms)
{
    const double deadline = nowMs() + ms;
    XEvent event;
    while (nextEvent(deadline, &event)) { }
}
