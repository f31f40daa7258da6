#include "x11connectionguard.h"

#include <QCoreApplication>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/Xlibint.h>

namespace {
// Written once on the GUI thread before any background thread starts, only
// read afterwards.
XIOErrorHandler previousHandler = nullptr;
QThread *guiThread = nullptr;

int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}

int onBrokenConnection(Display *display)
{
    // Returning hands over to the connection's own exit handler, which for
    // a watched connection only marks it broken.
    if (QThread::currentThread() != guiThread)
        return 0;
    return previousHandler ? previousHandler(display) : 0;
}

void markBroken(Display *display, void *flag)
{
    *static_cast<bool *>(flag) = true;
    // Xlib (1.8) lets go of the connection's lock before it reports the
    // break, and the call it reports from lets go of it again on return:
    // taken here, the two balance.
    LockDisplay(display);
}
}  // namespace

void X11ConnectionGuard::install()
{
    if (guiThread)
        return;
    guiThread
        = QCoreApplication::instance() ? QCoreApplication::instance()->thread() : QThread::currentThread();
    XSetErrorHandler(&ignoreErrors);
    previousHandler = XSetIOErrorHandler(&onBrokenConnection);
}

void X11ConnectionGuard::watch(Display *display, bool *broken)
{
    *broken = false;
    XSetIOErrorExitHandler(display, &markBroken, broken);
}
