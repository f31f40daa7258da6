#ifndef WIN32CLIPBOARDWATCHER_H
#define WIN32CLIPBOARDWATCHER_H

#include "clipboardwatcher.h"

#include <QTimer>

class WorkerThread;

// The Windows clipboard watcher: a Win32ClipboardReader on a thread of its
// own, watched with a deadline. A read that holds the clipboard open longer
// than readDeadlineMs (an owner that stalls while rendering its data) costs
// only its own copy: the reader is told to close the clipboard at once, is
// left to end whenever its call returns, and a fresh reader watches the
// changes from then on.
class Win32ClipboardWatcher : public ClipboardWatcher
{
    Q_OBJECT

public:
    explicit Win32ClipboardWatcher(QObject *parent = nullptr);
    // Ends the reader; a read in flight is dropped. Waits at most
    // quitTimeoutMs.
    ~Win32ClipboardWatcher() override;

    static constexpr int readDeadlineMs = 2000;
    static constexpr int quitTimeoutMs = 1000;

    // How many readers were started: one, plus one after each stuck read.
    int readersStarted() const { return started; }

private:
    // `knownSequence`: see Win32ClipboardReader.
    void startReader(quint32 knownSequence);
    void onReadingStarted();
    void onReadingEnded();
    void deadlinePassed();

    quint32 guiThread;
    WorkerThread *reader = nullptr;
    QTimer deadline;
    // Where the reader is told to give up.
    quintptr readerWindow = 0;
    // The read in flight, as the reader last reported it.
    bool reading = false;
    int started = 0;
};

#endif  // WIN32CLIPBOARDWATCHER_H
