#include "win32platform.h"

#include <cstddef>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

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

// The program's hook procedure. The system calls hookTrampoline on the thread
// that installed the hook (the GUI thread), which hands the event on.
Platform::HookProc installedProc = nullptr;

LRESULT CALLBACK hookTrampoline(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (installedProc)
        return installedProc(nCode, wParam, lParam);
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

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
Win32Platform::~Win32Platform() = default;

Platform::HookHandle Win32Platform::installKeyboardHook(HookProc proc)
{
    installedProc = proc;
    // A low-level hook runs in the installing process, so any module handle
    // will do; the executable's own keeps older systems from refusing a null one.
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, hookTrampoline, GetModuleHandleW(nullptr), 0);
    return reinterpret_cast<HookHandle>(hook);
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

void Win32Platform::injectKey(quint32 vk, quint32 flags)
{
    keybd_event(static_cast<BYTE>(vk), 0, flags, 0);
}
