#ifndef X11CLIPBOARDREADER_H
#define X11CLIPBOARDREADER_H

#include "clipboardsnapshot.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVector>

#include <memory>

class QSocketNotifier;
class QTimer;
class X11SelectionTransfer;
struct _XDisplay;
union _XEvent;

// Reads the X clipboard (the CLIPBOARD selection) on a connection and a
// thread of its own, each time its owner changes (XFixes): the list of
// targets, the marker formats, then the text in UTF-8 or one of the older
// encodings, large values included (INCR). Each read has a property of its
// own on the reader's window, taken in turn from a ring, so that a late
// answer from an owner given up on is never taken for a later one's; such
// answers are deleted as they come, which also lets a late INCR owner run
// to its end. The window itself lives as long as the connection: an owner
// that answers late must not meet a window that is gone, which naive
// owners do not survive.
//
// Nothing here blocks. The owner has replyDeadlineMs to answer each request
// and to send each piece; one that does not costs only its own copy (one
// debug line), and the next owner change is read as usual. A newer owner
// change drops the read in progress. A connection that breaks is opened
// again after reconnectDelayMs.
class X11ClipboardReader : public QObject
{
    Q_OBJECT

public:
    explicit X11ClipboardReader(QObject *parent = nullptr);
    ~X11ClipboardReader() override;

    // Whether the X server of `display` lets owner changes be watched.
    static bool isSupported(_XDisplay *display);

    static constexpr int replyDeadlineMs = 2000;
    static constexpr int reconnectDelayMs = 1000;
    // A text larger than this is not read (it would not fit the history).
    static constexpr qint64 maxTextBytes = qint64(128) << 20;

public slots:
    // Opens the connection and starts watching. Called on the reader's
    // thread; false when there is no display or it lacks XFixes (it tries
    // again every reconnectDelayMs then).
    bool start();

signals:
    // The content after an owner change; an empty snapshot when nobody owns
    // the clipboard any more.
    void snapshotRead(const ClipboardSnapshot &snapshot);

private:
    enum class Phase { Idle, Targets, Markers, Text };

    bool openConnection();
    void closeConnection();
    void checkConnection();
    void readEvents();
    void ownerChanged(unsigned long owner, unsigned long time);
    void beginRead(unsigned long time);
    void drainLateAnswer(const _XEvent &event);
    void transferMoved();
    void takeTargets();
    void askNext();
    void ask(Phase next, const QString &target);
    void finish();
    void giveUp(const QString &reason);
    void endRead();
    void deadlinePassed();
    unsigned long atom(const QString &name);
    QString atomName(unsigned long atom);
    QString decodeText(unsigned long type, const QByteArray &bytes);

    _XDisplay *display = nullptr;
    // Set by Xlib when the connection breaks.
    bool broken = false;
    bool reconnecting = false;
    unsigned long watchWindow = 0;
    unsigned long clipboardAtom = 0;
    int xfixesEventBase = -1;
    QSocketNotifier *notifier = nullptr;
    QTimer *deadline;
    QTimer *reconnect;
    // Atom names never change while the server runs.
    QHash<unsigned long, QString> names;

    unsigned long requestor = 0;
    QVector<unsigned long> properties;
    int propertyTurn = 0;

    // The read in progress.
    Phase phase = Phase::Idle;
    // Set whenever an answer moves a read on.
    bool answered = false;
    unsigned long readProperty = 0;
    unsigned long readTime = 0;
    std::unique_ptr<X11SelectionTransfer> transfer;
    QStringList markersLeft;
    QStringList textLeft;
    QString asked;
    ClipboardSnapshot snapshot;
};

#endif  // X11CLIPBOARDREADER_H
