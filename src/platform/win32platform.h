#ifndef WIN32PLATFORM_H
#define WIN32PLATFORM_H

#include "platform.h"

class WorkerThread;

// The platform layer of Windows: thin wrappers around the user32 and
// kernel32 calls the program needs. The keyboard hook and the clipboard
// reader each run on a thread of their own, so that neither a busy GUI
// thread nor a program that holds the clipboard can hold up the keys of
// the desktop or the hot key.
class Win32Platform : public Platform
{
public:
    Win32Platform();
    ~Win32Platform() override;

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

private:
    // The hook's thread, while the hook is installed.
    WorkerThread *keyHook = nullptr;
};

#endif  // WIN32PLATFORM_H
