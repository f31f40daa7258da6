#ifndef X11PLATFORM_H
#define X11PLATFORM_H

#include "platform.h"

// The platform layer of a Linux X11 desktop.
class X11Platform : public Platform
{
public:
    X11Platform();
    ~X11Platform() override;

    HookHandle installKeyboardHook(HookProc proc) override;
    qintptr callNextHook(HookHandle hook, int code, quintptr message,
                         qintptr record) override;
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
    QString sessionProblem() const override;
};

#endif  // X11PLATFORM_H
