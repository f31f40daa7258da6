#ifndef X11PLATFORM_H
#define X11PLATFORM_H

#include "platform.h"
#include "x11keymapupdates.h"

class QSocketNotifier;
class X11FocusKeeper;
class X11KeyInjector;
class WorkerThread;
struct _XDisplay;

// The platform layer of a Linux X11 desktop.
//
// X11 has no thread input queues, no system caret and no low-level hook, so
// the Win32 vocabulary is mapped like this: the key hook is the RECORD
// extension; the foreground window is the window manager's active window
// (EWMH) or, without one, the client window that holds the input focus; the
// "thread" of a window is this process for our own windows and a distinct
// made-up id for any other, so that attaching succeeds exactly where it would
// on Windows; key strokes are injected with XTEST.
class X11Platform : public Platform
{
public:
    X11Platform();
    ~X11Platform() override;

    HookHandle installKeyboardHook(HookProc proc) override;
    void removeKeyboardHook(HookHandle hook) override;
    qintptr callNextHook(HookHandle hook, int code, quintptr message, qintptr record) override;
    quint32 tickCount() override;
    quint32 currentThreadId() override;
    WindowId foregroundWindow() override;
    quint32 windowThreadId(WindowId window) override;
    bool attachThreadInput(quint32 from, quint32 to, bool attach) override;
    bool caretPosition(QPoint *position) override;
    WindowId focusWindow() override;
    bool windowRect(WindowId window, QRect *rect) override;
    bool setForegroundWindow(WindowId window) override;
    QStringList windowClasses(WindowId window) override;
    void injectKey(quint32 vk, quint32 flags) override;
    ClipboardWatcher *createClipboardWatcher(QObject *parent) override;
    void flushWindowRequests() override;
    QString sessionProblem() const override;

    // EWMH: whether a window manager runs that keeps _NET_ACTIVE_WINDOW.
    bool windowManagerActivates();
    // Whether `window` is a top-level window of this process.
    bool isOwnWindow(WindowId window) const;

private:
    // The connection for queries and injection, opened on first use; null
    // when there is no X display.
    _XDisplay *display();
    void readEvents();

    WindowId activeWindow();
    WindowId inputFocusClient();
    WindowId clientWindow(WindowId window);

    _XDisplay *connection = nullptr;
    bool opened = false;
    X11KeymapUpdates keymap;
    QSocketNotifier *eventNotifier = nullptr;
    // The key watcher's thread, while the hook is installed.
    WorkerThread *keyWatcher = nullptr;
    X11KeyInjector *injector = nullptr;
    X11FocusKeeper *focusKeeper = nullptr;
};

#endif  // X11PLATFORM_H
