#ifndef X11CLIPBOARDREADER_H
#define X11CLIPBOARDREADER_H

#include "clipboardsnapshot.h"

#include <QObject>
#include <QTimer>
#include <QVector>

class QSocketNotifier;
struct _XDisplay;

// Reads the X clipboard (the CLIPBOARD selection) on a connection and a
// thread of its own, each time its owner changes (XFixes): the list of
// targets, the marker formats, then the text in UTF-8 or one of the older
// encodings, large transfers included (INCR). Every step waits at most
// replyDeadlineMs for the owner; an owner that does not answer in time
// costs only its own copy, and a new owner change drops the read in
// progress for the newer content. Nothing here waits in a blocking call.
class X11ClipboardReader : public QObject
{
    Q_OBJECT

public:
    explicit X11ClipboardReader(QObject *parent = nullptr);
    ~X11ClipboardReader() override;

    // Whether the X server of `display` lets owner changes be watched.
    static bool isSupported(_XDisplay *display);

    static constexpr int replyDeadlineMs = 2000;
    // A text larger than this is not read (it would not fit the history).
    static constexpr qint64 maxTextBytes = qint64(128) << 20;

public slots:
    // Opens the connection and starts watching. Called on the reader's thread.
    bool start();

signals:
    // The content after an owner change; an empty snapshot when nobody owns
    // the clipboard any more.
    void snapshotRead(const ClipboardSnapshot &snapshot);

private:
    enum class Step { Idle, Targets, Data };

    void readEvents();
    void ownerChanged(unsigned long owner, unsigned long time);
    void request(unsigned long target);
    void selectionNotified(unsigned long property, unsigned long target, unsigned long time);
    void incrementArrived();
    void received(unsigned long type, const QByteArray &bytes);
    void takeTargets(const QByteArray &bytes);
    void takeData(unsigned long type, const QByteArray &bytes);
    void next();
    void finish();
    void giveUp(const char *reason);
    void endTransfer();
    bool readProperty(unsigned long property, bool *incr, unsigned long *type, QByteArray *bytes);
    unsigned long atom(const char *name);
    QString atomName(unsigned long atom);
    QString decodeText(unsigned long type, const QByteArray &bytes);

    _XDisplay *display = nullptr;
    unsigned long window = 0;
    int xfixesEventBase = -1;
    QSocketNotifier *notifier = nullptr;
    QTimer deadline;

    // The read in progress.
    Step step = Step::Idle;
    unsigned long requestTime = 0;
    unsigned long requestedTarget = 0;
    unsigned long property = 0;
    int propertyTurn = 0;
    bool incremental = false;
    unsigned long incrementalType = 0;
    QByteArray incrementalBytes;
    // Targets still to fetch, markers first, then the text's candidates.
    QVector<unsigned long> queue;
    QVector<unsigned long> textCandidates;
    ClipboardSnapshot snapshot;
    bool textTaken = false;
};

#endif  // X11CLIPBOARDREADER_H
