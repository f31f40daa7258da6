#ifndef X11CLIPBOARDWATCHER_H
#define X11CLIPBOARDWATCHER_H

#include "clipboardwatcher.h"

class WorkerThread;
struct _XDisplay;

// The X11 clipboard watcher: an X11ClipboardReader on a thread of its own.
class X11ClipboardWatcher : public ClipboardWatcher
{
    Q_OBJECT

public:
    explicit X11ClipboardWatcher(QObject *parent = nullptr);
    ~X11ClipboardWatcher() override;

    // Whether the X server of `display` lets the clipboard be watched so.
    static bool isSupported(_XDisplay *display);

private:
    WorkerThread *reader;
};

#endif  // X11CLIPBOARDWATCHER_H
