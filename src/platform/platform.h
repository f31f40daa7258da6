#ifndef PLATFORM_H
#define PLATFORM_H

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class ClipboardWatcher;
class QObject;

// The narrow layer between the program and the operating system. Everything
// the program asks of the desktop (the global keyboard hook, foreground and
// focus windows, thread input, caret, injected key strokes, the tick count
// and the reading of the clipboard) goes through one Platform object: Win32 on Windows, X11 on Linux, and a
// scriptable fake in the unit tests.
//
// The vocabulary follows the Win32 one, because that is the system the
// program was designed for; the X11 implementation translates into it.

namespace Keys {
// Hook codes and messages, with their Win32 values.
constexpr int HookAction = 0;  // HC_ACTION
constexpr quintptr KeyDownMessage = 0x0100;  // WM_KEYDOWN
constexpr quintptr KeyUpMessage = 0x0101;  // WM_KEYUP
constexpr quintptr SysKeyDownMessage = 0x0104;  // WM_SYSKEYDOWN
constexpr quintptr SysKeyUpMessage = 0x0105;  // WM_SYSKEYUP

// Virtual-key codes, with their Win32 values.
constexpr quint32 VkShift = 0x10;  // VK_SHIFT
constexpr quint32 VkControl = 0x11;  // VK_CONTROL
constexpr quint32 VkMenu = 0x12;  // VK_MENU (Alt)
constexpr quint32 VkInsert = 0x2D;  // VK_INSERT
constexpr quint32 VkV = 0x56;  // the letter V
constexpr quint32 VkLControl = 162;  // VK_LCONTROL
constexpr quint32 VkRControl = 163;  // VK_RCONTROL

// Flag of an injected key event.
constexpr quint32 KeyEventKeyUp = 0x0002;  // KEYEVENTF_KEYUP
}  // namespace Keys

// The key record handed to a keyboard hook procedure. Laid out like the
// system's low-level keyboard record, so that on Windows the record the
// system passes can be read through it directly.
struct KeyboardRecord
{
    quint32 vkCode = 0;
    quint32 scanCode = 0;
    quint32 flags = 0;
    quint32 time = 0;
    quintptr extraInfo = 0;
};

class Platform
{
public:
    // Native window handle; 0 stands for "none".
    using WindowId = quintptr;
    using HookHandle = quintptr;
    // A low-level keyboard hook procedure: hook code, message, and a pointer
    // to a KeyboardRecord (as an integer) in; the next hook's result out.
    using HookProc = qintptr (*)(int code, quintptr message, qintptr record);

    virtual ~Platform();

    // The one platform object of the process. Created on first use for the
    // system the program runs on, unless a test installed its own before.
    static Platform *instance();
    // Installs `platform` as the process's platform object (ownership stays
    // with the caller). Passing nullptr returns to the system's own.
    static void setInstance(Platform *platform);

    // Installs a global low-level keyboard hook calling `proc` for every key
    // event of the desktop. Returns 0 when no hook could be installed. The
    // system's layers call `proc` on a thread of their own that does
    // nothing else, so that no key of the desktop ever waits for the GUI
    // thread; `proc` must not touch the GUI.
    virtual HookHandle installKeyboardHook(HookProc proc) = 0;
    // Removes the hook and ends the thread it ran on; `proc` is not called
    // any more once this returns.
    virtual void removeKeyboardHook(HookHandle hook);
    // Passes an event on to the next hook; every hook procedure returns this.
    virtual qintptr callNextHook(HookHandle hook, int code, quintptr message, qintptr record) = 0;

    // Milliseconds since some fixed point, wrapping at 2^32.
    virtual quint32 tickCount() = 0;
    virtual quint32 currentThreadId() = 0;
    virtual WindowId foregroundWindow() = 0;
    // The thread that owns `window`; 0 on failure.
    virtual quint32 windowThreadId(WindowId window) = 0;
    virtual bool attachThreadInput(quint32 from, quint32 to, bool attach) = 0;
    // The caret position of the (attached) foreground thread.
    virtual bool caretPosition(QPoint *position) = 0;
    // The window with the keyboard focus in the (attached) foreground thread.
    virtual WindowId focusWindow() = 0;
    virtual bool windowRect(WindowId window, QRect *rect) = 0;
    virtual bool setForegroundWindow(WindowId window) = 0;
    // The class names of `window` and of the top-level window it belongs
    // to, the window's own first: the instance and class of WM_CLASS on
    // X11, the registered window class on Windows. Empty when unknown.
    virtual QStringList windowClasses(WindowId window) = 0;
    // Injects one key event into the system input stream (`flags` 0 for a
    // press, Keys::KeyEventKeyUp for a release).
    virtual void injectKey(quint32 vk, quint32 flags) = 0;

    // A new watcher of the system clipboard, owned by `parent`. The base
    // watches Qt's clipboard on the GUI thread.
    virtual ClipboardWatcher *createClipboardWatcher(QObject *parent);

    // Sends the requests Qt has queued for the window system (such as the
    // tray icon's request to dock) now, without handling any event: safe in
    // the middle of building a window. The base does nothing.
    virtual void flushWindowRequests();

    // A line for the user when this desktop session cannot serve the global
    // hot key or the paste (for example a Wayland session); empty when fine.
    virtual QString sessionProblem() const;
};

#endif  // PLATFORM_H
