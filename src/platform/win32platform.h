#ifndef WIN32PLATFORM_H
#define WIN32PLATFORM_H

#include "platform.h"

// The platform layer of Windows: thin wrappers around the user32 and
// kernel32 calls the program needs.
class Win32Platform : public Platform
{
public:
    Win32Platform();
    ~Win32Platform() override;

    HookHandle installKeyboardHook(HookProc proc) override;
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
    void injectKey(quint32 vk, quint32 flags) override;
};

#endif  // WIN32PLATFORM_H
