#ifndef FAKEPLATFORM_H
#define FAKEPLATFORM_H

#include "instanceguard.h"
#include "platform.h"

#include <QSet>
#include <QStringList>

#include <atomic>

// A scriptable platform for the unit tests. A test sets what the queries
// answer, drives key events through the installed hook procedure and reads
// back the ordered log of the calls the program made.
class FakePlatform : public Platform
{
public:
    FakePlatform();
    ~FakePlatform() override;

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
    QString sessionProblem() const override;

    // Sends one key event through the installed hook procedure, as the
    // system would, and returns the procedure's result. Returns -1 when no
    // hook is installed.
    qintptr sendKey(quintptr message, quint32 vk, int code = Keys::HookAction);

    // What the queries answer; every test may change them at will.
    quint32 tick = 0;
    quint32 threadId = 1;
    WindowId foreground = 0;
    quint32 foregroundThread = 0;  // what windowThreadId answers for any window
    bool attachSucceeds = true;
    bool caretSucceeds = true;
    QPoint caret;
    WindowId focus = 0;
    QRect rect;
    QStringList classes;  // what windowClasses answers for any window
    QString problem;
    // When not empty, a clipboard watcher made now has a report of this text
    // already on its way, as when something is copied while the program
    // starts: the event loop delivers it.
    QString copiedAtWatchStart;
    // When set, Right Ctrl is tapped twice (through the installed hook) as a
    // clipboard watcher is made: a double tap while the program starts.
    bool doubleTapAtWatchStart = false;

    // What callNextHook answers: not 0, so that a hook procedure that
    // returns something of its own instead is told apart.
    qintptr nextHookResult = 0x5eed;

    // The installed hook procedure, if any.
    HookProc hookProc = nullptr;
    // Every call the program made, in order, e.g. "setForegroundWindow 42",
    // "injectKey 17 0", "attachThreadInput 1 7 1", "callNextHook 0 256".
    QStringList log;
    // Injected keys only, as "vk flags" pairs, e.g. "17 0".
    QStringList injected;
    // The clipboard's text as each key was injected (in a GUI application).
    QStringList clipboardAtKeys;
    // The keys down on the fake keyboard: a test puts in those the user
    // holds; injected presses and releases change it.
    QSet<quint32> keysDown;
};

// A scriptable guard for the single-instance tests: the system's own names,
// folder and lock, with the answer about the peer's user (and a refused
// folder) set by the test (Wine, for one, has a single user, so another cannot be met there).
// Starts on several threads may ask it at once.
class FakeInstanceGuard : public InstanceGuard
{
public:
    QString socketDirectory(QString *error) override;
    bool peerIsSameUser(QLocalSocket *socket) override;

    // What peerIsSameUser answers.
    std::atomic<bool> samePeer { true };
    // How often peerIsSameUser was asked.
    std::atomic<int> peerChecks { 0 };
    // When set, socketDirectory fails with it; otherwise it answers what the
    // system would.
    QString refusal;
};

#endif  // FAKEPLATFORM_H
