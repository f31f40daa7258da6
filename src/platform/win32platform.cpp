#include "win32platform.h"

#include "background/workerthread.h"
#include "win32clipboardwatcher.h"
#include "win32keyhook.h"

#include <cstddef>

#include "win32api.h"

// The hook procedure receives the system's own KBDLLHOOKSTRUCT and reads it
// as a KeyboardRecord, so the two must agree field by field.
static_assert(sizeof(KeyboardRecord) == sizeof(KBDLLHOOKSTRUCT), "KeyboardRecord size");
static_assert(
    offsetof(KeyboardRecord, vkCode) == offsetof(KBDLLHOOKSTRUCT, vkCode), "KeyboardRecord::vkCode offset");
static_assert(offsetof(KeyboardRecord, scanCode) == offsetof(KBDLLHOOKSTRUCT, scanCode),
    "KeyboardRecord::scanCode offset");
static_assert(
    offsetof(KeyboardRecord, flags) == offsetof(KBDLLHOOKSTRUCT, flags), "KeyboardRecord::flags offset");
static_assert(
    offsetof(KeyboardRecord, time) == offsetof(KBDLLHOOKSTRUCT, time), "KeyboardRecord::time offset");
static_assert(offsetof(KeyboardRecord, extraInfo) == offsetof(KBDLLHOOKSTRUCT, dwExtraInfo),
    "KeyboardRecord::extraInfo offset");
static_assert(sizeof(Platform::WindowId) >= sizeof(HWND), "a window handle fits a WindowId");

namespace {

HWND toHwnd(Platform::WindowId window)
{
    return reinterpret_cast<HWND>(window);
}

Platform::WindowId fromHwnd(HWND window)
{
    return reinterpret_cast<Platform::WindowId>(window);
}

}  // namespace

Platform *createSystemPlatform()
{
    return new Win32Platform;
}

Win32Platform::Win32Platform() = default;

Win32Platform::~Win32Platform()
{
    removeKeyboardHook(reinterpret_cast<HookHandle>(keyHook));
}

Platform::HookHandle Win32Platform::installKeyboardHook(HookProc proc)
{
    if (keyHook)
        return reinterpret_cast<HookHandle>(keyHook);
    auto *hook = new Win32KeyHook(proc);
    auto *thread = new WorkerThread(hook, QStringLiteral("quillet key hook"));
    // The one wait for another thread: ours, once, while it installs the
    // hook; it has nothing else to do.
    bool installed = false;
    QMetaObject::invokeMethod(
        hook, [hook] { return hook->install(); }, Qt::BlockingQueuedConnection, &installed);
    if (!installed) {
        delete thread;
        return 0;
    }
    keyHook = thread;
    return reinterpret_cast<HookHandle>(keyHook);
}

void Win32Platform::removeKeyboardHook(HookHandle hook)
{
    if (!keyHook || hook != reinterpret_cast<HookHandle>(keyHook))
        return;
    // Unhooked on its own thread, queued before the thread is ended.
    auto *worker = static_cast<Win32KeyHook *>(keyHook->worker());
    QMetaObject::invokeMethod(worker, &Win32KeyHook::uninstall, Qt::QueuedConnection);
    delete keyHook;
    keyHook = nullptr;
}

qintptr Win32Platform::callNextHook(HookHandle, int code, quintptr message, qintptr record)
{
    return CallNextHookEx(nullptr, code, message, record);
}

quint32 Win32Platform::tickCount()
{
    return GetTickCount();
}

quint32 Win32Platform::currentThreadId()
{
    return GetCurrentThreadId();
}

Platform::WindowId Win32Platform::foregroundWindow()
{
    return fromHwnd(GetForegroundWindow());
}

quint32 Win32Platform::windowThreadId(WindowId window)
{
    if (!window)
        return 0;
    return GetWindowThreadProcessId(toHwnd(window), nullptr);
}

bool Win32Platform::attachThreadInput(quint32 from, quint32 to, bool attach)
{
    return AttachThreadInput(from, to, attach ? TRUE : FALSE) != FALSE;
}

bool Win32Platform::caretPosition(QPoint *position)
{
    POINT point {};
    if (!GetCaretPos(&point))
        return false;
    if (position)
        *position = QPoint(point.x, point.y);
    return true;
}

Platform::WindowId Win32Platform::focusWindow()
{
    return fromHwnd(GetFocus());
}

bool Win32Platform::windowRect(WindowId window, QRect *rect)
{
    RECT r {};
    if (!window || !GetWindowRect(toHwnd(window), &r))
        return false;
    if (rect)
        *rect = QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    return true;
}

bool Win32Platform::setForegroundWindow(WindowId window)
{
    if (!window)
        return false;
    return SetForegroundWindow(toHwnd(window)) != FALSE;
}

QStringList Win32Platform::windowClasses(WindowId window)
{
    QStringList classes;
    if (!window)
        return classes;
    const auto add = [&classes](HWND hwnd) {
        wchar_t name[256];
        const int length = GetClassNameW(hwnd, name, 256);
        if (length > 0)
            classes << QString::fromWCharArray(name, length);
    };
    add(toHwnd(window));
    const HWND top = GetAncestor(toHwnd(window), GA_ROOT);
    if (top && top != toHwnd(window))
        add(top);
    return classes;
}

void Win32Platform::injectKey(quint32 vk, quint32 flags)
{
    // Insert is an extended key: without the flag and its scan code a
    // program that tells the two apart (mintty, say) reads the keypad's 0.
    if (vk == Keys::VkInsert) {
        const BYTE scan = static_cast<BYTE>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        keybd_event(static_cast<BYTE>(vk), scan, flags | KEYEVENTF_EXTENDEDKEY, 0);
        return;
    }
    keybd_event(static_cast<BYTE>(vk), 0, flags, 0);
}

ClipboardWatcher *Win32Platform::createClipboardWatcher(QObject *parent)
{
    return new Win32ClipboardWatcher(parent);
}
