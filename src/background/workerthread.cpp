#include "workerthread.h"

#include "handover.h"

#include <QThread>

WorkerThread::WorkerThread(QObject *worker, const QString &name, QObject *parent)
    : QObject(parent)
    , thread(new QThread)
    , object(worker)
{
    thread->setObjectName(name);
    object->moveToThread(thread);
    QThread *ending = thread;
    connect(
        thread, &QThread::finished, thread, [ending] { HandOver::sent(ending); }, Qt::DirectConnection);
    // Made before the thread starts, so that stopping posts nothing but the
    // request itself.
    connect(this, &WorkerThread::quitRequested, object, [ending] { ending->quit(); });
    thread->start();
}

WorkerThread::~WorkerThread()
{
    stop();
}

bool WorkerThread::isRunning() const
{
    return thread && thread->isRunning();
}

bool WorkerThread::stop(int timeoutMs)
{
    if (!thread)
        return true;
    // Queued behind whatever the worker was already sent.
    QThread *running = thread;
    emit quitRequested();
    if (!thread->wait(timeoutMs)) {
        abandon();
        return false;
    }
    HandOver::received(running);
    // The thread has ended: nothing runs in the worker any more, so it may
    // go from here.
    delete object;
    delete thread;
    thread = nullptr;
    object = nullptr;
    return true;
}

void WorkerThread::abandon()
{
    if (!thread)
        return;
    // Nothing the worker sends from now on reaches anyone; it goes with its
    // thread, if that ever ends.
    object->disconnect();
    connect(thread, &QThread::finished, object, &QObject::deleteLater);
    QThread *stuck = thread;
    thread = nullptr;
    object = nullptr;
    stuck->quit();
    // A thread object may only go once its thread has ended: it deletes
    // itself then, or is reclaimed with the process.
    connect(stuck, &QThread::finished, stuck, &QObject::deleteLater);
    if (stuck->isFinished())
        stuck->deleteLater();
}
