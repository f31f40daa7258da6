#include "win32keyhook.h"

#include "win32api.h"

namespace {
// The hook of this thread. The system calls the hook procedure on the
// thread that installed it, so the procedure finds its hook here without
// anything shared between threads.
thread_local Win32KeyHook *threadHook = nullptr;
thread_local Platform::HookProc threadProc = nullptr;

LRESULT CALLBACK hookTrampoline(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (threadProc)
        return threadProc(nCode, wParam, lParam);
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}
}  // namespace

Win32KeyHook::Win32KeyHook(Platform::HookProc proc, QObject *parent)
    : QObject(parent)
    , hookProc(proc)
{ }

Win32KeyHook::~Win32KeyHook()
{
    uninstall();
}

bool Win32KeyHook::install()
{
    if (hook)
        return true;
    // One hook per thread: the procedure is found through the thread.
    if (threadHook)
        return false;
    threadHook = this;
    threadProc = hookProc;
    // A low-level hook runs in the installing process, so any module handle
    // will do; the executable's own keeps older systems from refusing a null one.
    hook = SetWindowsHookExW(WH_KEYBOARD_LL, hookTrampoline, GetModuleHandleW(nullptr), 0);
    if (!hook) {
        threadHook = nullptr;
        threadProc = nullptr;
        return false;
    }
    return true;
}

void Win32KeyHook::uninstall()
{
    if (!hook)
        return;
    UnhookWindowsHookEx(static_cast<HHOOK>(hook));
    hook = nullptr;
    if (threadHook == this) {
        threadHook = nullptr;
        threadProc = nullptr;
    }
}
