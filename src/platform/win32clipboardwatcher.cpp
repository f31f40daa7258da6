#include "win32clipboardwatcher.h"

#include "background/workerthread.h"
#include "win32clipboardreader.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QDebug>

#include "win32api.h"

Win32ClipboardWatcher::Win32ClipboardWatcher(QObject *parent)
    : ClipboardWatcher(parent)
    , guiThread(GetCurrentThreadId())
    , deadline(this)
{
    // The reader names its window in a queued signal.
    qRegisterMetaType<quintptr>("quintptr");
    deadline.setSingleShot(true);
    deadline.setInterval(readDeadlineMs);
    connect(&deadline, &QTimer::timeout, this, &Win32ClipboardWatcher::deadlinePassed);
    // What the clipboard holds already was not copied now; whatever comes
    // from here on is, even before the reader's thread listens.
    startReader(GetClipboardSequenceNumber());
}

Win32ClipboardWatcher::~Win32ClipboardWatcher()
{
    deadline.stop();
    if (!reader)
        return;
    // A read in flight is dropped: nothing half-taken reaches the history.
    // One that stalls lets go of the clipboard at once (its report of the
    // read may not even have arrived yet).
    reader->worker()->disconnect(this);
    Win32ClipboardReader::askToGiveUp(readerWindow);
    reader->stop(quitTimeoutMs);
    delete reader;
}

void Win32ClipboardWatcher::startReader(quint32 knownSequence)
{
    auto *worker = new Win32ClipboardReader(guiThread, knownSequence);
    connect(
        worker, &Win32ClipboardReader::listening, this, [this](quintptr window) { readerWindow = window; });
    connect(worker, &Win32ClipboardReader::readingStarted, this, &Win32ClipboardWatcher::onReadingStarted);
    connect(worker, &Win32ClipboardReader::readingEnded, this, &Win32ClipboardWatcher::onReadingEnded);
    connect(worker, &Win32ClipboardReader::ownContentChanged, this, [this, worker](quint32 sequence) {
        // Qt hands out its own copy from this process, without opening the
        // clipboard. Another window of this thread renders when the reader
        // asks, as this thread is free then.
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (clipboard->ownsClipboard()) {
            emit changed(ClipboardSnapshot::fromMimeData(clipboard->mimeData(QClipboard::Clipboard)));
            return;
        }
        QMetaObject::invokeMethod(
            worker, [worker, sequence] { worker->readOwnThreadContent(sequence); }, Qt::QueuedConnection);
    });
    connect(worker, &Win32ClipboardReader::snapshotRead, this, [this](const ClipboardSnapshot &snapshot) {
        HandOver::receivedValue<ClipboardSnapshot>();
        emit changed(snapshot);
    });
    reader = new WorkerThread(worker, QStringLiteral("quillet clipboard reader"), this);
    reading = false;
    readerWindow = 0;
    ++started;
    QMetaObject::invokeMethod(
        worker,
        [worker] {
            if (!worker->start())
                qDebug("quillet: the clipboard cannot be watched; copies are not taken into the history.");
        },
        Qt::QueuedConnection);
}

void Win32ClipboardWatcher::onReadingStarted()
{
    reading = true;
    deadline.start();
}

void Win32ClipboardWatcher::onReadingEnded()
{
    reading = false;
    deadline.stop();
}

void Win32ClipboardWatcher::deadlinePassed()
{
    // A read that ended before the deadline but whose report still waits in
    // the queue has not stalled.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (!reading)
        return;
    qDebug("quillet: the clipboard's owner did not hand over its content within 2 s; this copy is not "
           "taken into the history.");
    // The stalled reader holds the clipboard open: nobody has changed it
    // since, and this is the content to skip.
    const quint32 stuck = GetClipboardSequenceNumber();
    Win32ClipboardReader::askToGiveUp(readerWindow);
    reader->abandon();
    delete reader;
    reader = nullptr;
    startReader(stuck);
}
