#ifndef CLIPBOARDWATCHER_H
#define CLIPBOARDWATCHER_H

#include "clipboardsnapshot.h"

#include <QObject>
#include <QTimer>

class QClipboard;

// Tells the GUI thread what the system clipboard holds each time it
// changes. The system's watchers read on a thread of their own, with a
// deadline on every read, so that a program that owns the clipboard and
// never answers can delay nothing but its own capture.
class ClipboardWatcher : public QObject
{
    Q_OBJECT

public:
    explicit ClipboardWatcher(QObject *parent = nullptr);
    ~ClipboardWatcher() override;

signals:
    // The clipboard's content after a change, on the GUI thread.
    void changed(const ClipboardSnapshot &snapshot);
};

// Reads Qt's own clipboard on the GUI thread at each change. Right where the
// clipboard lives in this process (the unit tests' offscreen one), and the
// fall-back where the system offers no way to watch it from a thread.
class QtClipboardWatcher : public ClipboardWatcher
{
    Q_OBJECT

public:
    explicit QtClipboardWatcher(QObject *parent = nullptr);

private:
    void read();

    QClipboard *clipboard;
    QTimer settle;
};

#endif  // CLIPBOARDWATCHER_H
