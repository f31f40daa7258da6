#include "x11clipboardwatcher.h"

#include "background/workerthread.h"
#include "x11clipboardreader.h"
#include "x11connectionguard.h"

X11ClipboardWatcher::X11ClipboardWatcher(QObject *parent)
    : ClipboardWatcher(parent)
{
    // Before the reader's thread opens its connection.
    X11ConnectionGuard::install();
    auto *worker = new X11ClipboardReader;
    connect(worker, &X11ClipboardReader::snapshotRead, this, [this](const ClipboardSnapshot &snapshot) {
        HandOver::receivedValue<ClipboardSnapshot>();
        emit changed(snapshot);
    });
    // Its first work once its thread runs, asked for before the thread exists.
    QMetaObject::invokeMethod(worker, &X11ClipboardReader::start, Qt::QueuedConnection);
    reader = new WorkerThread(worker, QStringLiteral("quillet clipboard reader"), this);
}

X11ClipboardWatcher::~X11ClipboardWatcher()
{
    // A read in flight is dropped: nothing half-taken reaches the history.
    reader->worker()->disconnect(this);
    delete reader;
}

bool X11ClipboardWatcher::isSupported(_XDisplay *display)
{
    return X11ClipboardReader::isSupported(display);
}
