#ifndef WIN32KEYHOOK_H
#define WIN32KEYHOOK_H

#include "platform.h"

#include <QObject>

// The global low-level keyboard hook of Windows, on a thread of its own.
// The system calls a low-level hook on the thread that installed it, and
// every key of the desktop waits until the procedure returns; a hook whose
// thread is busy delays all typing and may be removed by the system without
// notice. So the hook is installed from a thread that does nothing else:
// its event loop pumps the messages through which the system calls it.
class Win32KeyHook : public QObject
{
    Q_OBJECT

public:
    // `proc` is called on the hook's thread for every key event.
    explicit Win32KeyHook(Platform::HookProc proc, QObject *parent = nullptr);
    // Unhooks, on the hook's thread (the worker ends with its thread).
    ~Win32KeyHook() override;

    // Installs the hook; false when the system refused. Called on the hook's
    // thread, which from then on must keep its event loop running.
    bool install();
    // Removes the hook; the procedure is not called any more.
    void uninstall();

private:
    Platform::HookProc hookProc;
    void *hook = nullptr;
};

#endif  // WIN32KEYHOOK_H
