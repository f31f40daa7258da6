#include "fakeplatform.h"

#include "clipboardwatcher.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMetaObject>

FakePlatform::FakePlatform() = default;
FakePlatform::~FakePlatform() = default;

Platform::HookHandle FakePlatform::installKeyboardHook(HookProc proc)
{
    hookProc = proc;
    log << QStringLiteral("installKeyboardHook");
    return 1;
}

void FakePlatform::removeKeyboardHook(HookHandle)
{
    // Keys sent from now on reach no procedure, as on a real desktop.
    hookProc = nullptr;
}

qintptr FakePlatform::callNextHook(HookHandle, int code, quintptr message, qintptr)
{
    log << QStringLiteral("callNextHook %1 %2").arg(code).arg(message);
    return nextHookResult;
}

quint32 FakePlatform::tickCount()
{
    return tick;
}

quint32 FakePlatform::currentThreadId()
{
    log << QStringLiteral("currentThreadId");
    return threadId;
}

Platform::WindowId FakePlatform::foregroundWindow()
{
    log << QStringLiteral("foregroundWindow");
    return foreground;
}

quint32 FakePlatform::windowThreadId(WindowId window)
{
    log << QStringLiteral("windowThreadId %1").arg(window);
    return window ? foregroundThread : 0;
}

bool FakePlatform::attachThreadInput(quint32 from, quint32 to, bool attach)
{
    log << QStringLiteral("attachThreadInput %1 %2 %3").arg(from).arg(to).arg(attach ? 1 : 0);
    return attachSucceeds && from != to;
}

bool FakePlatform::caretPosition(QPoint *position)
{
    log << QStringLiteral("caretPosition");
    if (!caretSucceeds)
        return false;
    if (position)
        *position = caret;
    return true;
}

Platform::WindowId FakePlatform::focusWindow()
{
    log << QStringLiteral("focusWindow");
    return focus;
}

bool FakePlatform::windowRect(WindowId window, QRect *result)
{
    log << QStringLiteral("windowRect %1").arg(window);
    if (result)
        *result = rect;
    return window != 0;
}

bool FakePlatform::setForegroundWindow(WindowId window)
{
    log << QStringLiteral("setForegroundWindow %1").arg(window);
    return window != 0;
}

QStringList FakePlatform::windowClasses(WindowId window)
{
    log << QStringLiteral("windowClasses %1").arg(window);
    return window ? classes : QStringList();
}

void FakePlatform::injectKey(quint32 vk, quint32 flags)
{
    log << QStringLiteral("injectKey %1 %2").arg(vk).arg(flags);
    injected << QStringLiteral("%1 %2").arg(vk).arg(flags);
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        clipboardAtKeys << QGuiApplication::clipboard()->text();
    if (flags & Keys::KeyEventKeyUp)
        keysDown.remove(vk);
    else
        keysDown.insert(vk);
}

ClipboardWatcher *FakePlatform::createClipboardWatcher(QObject *parent)
{
    ClipboardWatcher *watcher = Platform::createClipboardWatcher(parent);
    if (doubleTapAtWatchStart) {
        sendKey(Keys::KeyUpMessage, Keys::VkRControl);
        tick += 100;
        sendKey(Keys::KeyUpMessage, Keys::VkRControl);
    }
    if (!copiedAtWatchStart.isEmpty()) {
        ClipboardSnapshot snapshot;
        snapshot.text = copiedAtWatchStart;
        snapshot.formats << QStringLiteral("text/plain");
        QMetaObject::invokeMethod(
            watcher, [watcher, snapshot] { emit watcher->changed(snapshot); }, Qt::QueuedConnection);
    }
    return watcher;
}

QString FakePlatform::sessionProblem() const
{
    return problem;
}

qintptr FakePlatform::sendKey(quintptr message, quint32 vk, int code)
{
    if (!hookProc)
        return -1;
    KeyboardRecord record;
    record.vkCode = vk;
    record.time = tick;
    return hookProc(code, message, reinterpret_cast<qintptr>(&record));
}

QString FakeInstanceGuard::socketDirectory(QString *error)
{
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return QString();
    }
    return InstanceGuard::socketDirectory(error);
}

bool FakeInstanceGuard::peerIsSameUser(QLocalSocket *)
{
    ++peerChecks;
    return samePeer;
}
