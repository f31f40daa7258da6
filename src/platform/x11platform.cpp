#include "x11platform.h"

#include <time.h>

Platform *createSystemPlatform()
{
    return new X11Platform;
}

X11Platform::X11Platform() = default;
X11Platform::~X11Platform() = default;

Platform::HookHandle X11Platform::installKeyboardHook(HookProc)
{
    return 0;
}

qintptr X11Platform::callNextHook(HookHandle, int, quintptr, qintptr)
{
    return 0;
}

quint32 X11Platform::tickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const quint64 ms = quint64(now.tv_sec) * 1000u + quint64(now.tv_nsec) / 1000000u;
    return quint32(ms);
}

quint32 X11Platform::currentThreadId()
{
    return 1;
}

Platform::WindowId X11Platform::foregroundWindow()
{
    return 0;
}

quint32 X11Platform::windowThreadId(WindowId)
{
    return 0;
}

bool X11Platform::attachThreadInput(quint32, quint32, bool)
{
    return true;
}

bool X11Platform::caretPosition(QPoint *)
{
    return false;
}

Platform::WindowId X11Platform::focusWindow()
{
    return 0;
}

bool X11Platform::windowRect(WindowId, QRect *)
{
    return false;
}

bool X11Platform::setForegroundWindow(WindowId)
{
    return false;
}

void X11Platform::injectKey(quint32, quint32)
{
}

QString X11Platform::sessionProblem() const
{
    const bool wayland = qgetenv("XDG_SESSION_TYPE") == "wayland"
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (wayland)
        return QStringLiteral("quillet: this is a Wayland session, which quillet does not "
                              "support: the global hot key (Right Ctrl twice) and the paste "
                              "need an X11 session. Log in to an X11 session to use them.");
    return QString();
}
