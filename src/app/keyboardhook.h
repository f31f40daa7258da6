#ifndef KEYBOARDHOOK_H
#define KEYBOARDHOOK_H

#include <QtGlobal>

// The global low-level keyboard hook procedure: it feeds key-downs and
// key-ups to the double-tap detector of the main window and passes every
// event on unchanged. Keys typed while Alt is held arrive as system-key
// messages and are ignored.
qintptr keyboardHookProc(int nCode, quintptr wParam, qintptr lParam);

#endif  // KEYBOARDHOOK_H
