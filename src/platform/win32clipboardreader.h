#ifndef WIN32CLIPBOARDREADER_H
#define WIN32CLIPBOARDREADER_H

#include "clipboardsnapshot.h"

#include <QObject>
#include <QTimer>

// Reads the Windows clipboard on a thread of its own each time it changes:
// a message-only window of its own listens for the changes
// (AddClipboardFormatListener); a burst of changes is read once, the
// newest content. Each read takes the format list and the data of the
// formats that make the text and of the marker formats, and hands a
// ClipboardSnapshot on.
//
// An owner that renders its data only when asked (delayed rendering) and
// then never does would block the read in GetClipboardData for as long as
// it lives, with the clipboard held open meanwhile. So the owner is first
// asked a message that every living window answers (WM_NULL, with a
// time-out), a few times over a few seconds for an owner that is only busy;
// one that never answers is not read at all, one that has ended meanwhile
// can no longer hold anything up. An owner that answers that but stalls
// while rendering is left to the watcher's deadline: the watcher asks this
// reader to let go of the clipboard (askToGiveUp, which reaches the reader
// even inside the stalled call) and carries on with a fresh reader.
class Win32ClipboardReader : public QObject
{
    Q_OBJECT

public:
    // `guiThreadId`: the thread whose windows own the clipboard after the
    // program's own copy. That content is not read here (see
    // ownContentChanged).
    // `knownSequence`: the clipboard's sequence number of the content that
    // is no copy to take (what it held when the program started, or what a
    // reader given up on was stuck with). A content after it, even one that
    // came before this reader listens, is read.
    Win32ClipboardReader(quint32 guiThreadId, quint32 knownSequence, QObject *parent = nullptr);
    // Stops listening and destroys the window; on the reader's thread.
    ~Win32ClipboardReader() override;

    // How long the owner has to answer each time it is asked, how often it
    // is asked, and the pause between two askings, before its content is
    // skipped.
    static constexpr int probeTimeoutMs = 1000;
    static constexpr int probeAttempts = 3;
    static constexpr int probeRetryMs = 500;
    // Another program may hold the clipboard open for a moment.
    static constexpr int openAttempts = 5;
    static constexpr int openRetryMs = 20;
    // Data larger than this is not read (it would not fit the history).
    static constexpr qint64 maxDataBytes = qint64(128) << 20;

    // Asks the reader whose window is `window` to give up the read in
    // flight and close the clipboard at once, and to start no other read.
    // Returns at once; callable from any thread.
    static void askToGiveUp(quintptr window);

    // Called by the reader's window on the reader's thread.
    void clipboardUpdated();
    void giveUp();
    // Reads the content of `sequence` after all, when it is still on the
    // clipboard: one that a window of the GUI thread owns but Qt did not
    // write. On the reader's thread.
    void readOwnThreadContent(quint32 sequence);

public slots:
    // Creates the window and starts listening; false when the system
    // refused. Called on the reader's thread.
    bool start();

signals:
    // The reader listens; `window` is where askToGiveUp reaches it.
    void listening(quintptr window);
    // The reader holds the clipboard open and reads another program's copy.
    void readingStarted();
    // The clipboard is closed again.
    void readingEnded();
    // The program's own copy (Qt's, through OLE) is the content of
    // `sequence`: it is not read here, so that the program being pasted
    // into finds the clipboard free to open. The GUI thread has that content
    // in hand (or asks readOwnThreadContent).
    void ownContentChanged(quint32 sequence);
    // The content after a change.
    void snapshotRead(const ClipboardSnapshot &snapshot);

private:
    void readIfChanged();
    void readContentOf(void *owner);
    bool ownerAnswers(void *owner, bool *own);
    bool openClipboard();
    void readContent(ClipboardSnapshot *snapshot);
    QByteArray readData(quint32 format);

    quint32 guiThread;
    void *window = nullptr;
    bool listens = false;
    // The content already read or skipped, by the clipboard's sequence
    // number, and the one whose owner is being asked.
    quint32 lastSequence = 0;
    quint32 probedSequence = 0;
    int probeTurns = 0;
    QTimer probeRetry;
    // A change reported while a read is in progress is read after it.
    bool busy = false;
    bool changedAgain = false;
    bool holding = false;
    // Once given up, the reader reads nothing more: it is being replaced.
    bool gaveUp = false;
};

#endif  // WIN32CLIPBOARDREADER_H
