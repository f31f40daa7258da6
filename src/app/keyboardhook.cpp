#include "keyboardhook.h"

#include "mainwindow.h"
#include "platform/platform.h"

qintptr keyboardHookProc(int nCode, quintptr wParam, qintptr lParam)
{
    if (nCode == Keys::HookAction && mainWindow) {
        const auto *record = reinterpret_cast<const KeyboardRecord *>(lParam);
        if (wParam == Keys::KeyDownMessage)
            mainWindow->onKeyDown(record->vkCode);
        else if (wParam == Keys::KeyUpMessage)
            mainWindow->onKeyUp(record->vkCode);
    }
    return Platform::instance()->callNextHook(0, nCode, wParam, lParam);
}
