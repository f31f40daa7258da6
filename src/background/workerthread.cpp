#include "workerthread.h"

#include <QThread>

WorkerThread::WorkerThread(QObject *worker, const QString &name, QObject *parent)
    : QObject(parent)
    , thread(new QThread)
    , object(worker)
{
    thread->setObjectName(name);
    object->moveToThread(thread);
    // The worker ends with its thread, in its thread.
    connect(thread, &QThread::finished, object, &QObject::deleteLater);
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
    QMetaObject::invokeMethod(
        object, [running] { running->quit(); }, Qt::QueuedConnection);
    if (!thread->wait(timeoutMs)) {
        abandon();
        return false;
    }
    delete thread;
    thread = nullptr;
    object = nullptr;
    return true;
}

void WorkerThread::abandon()
{
    if (!thread)
        return;
    // Nothing the worker sends from now on reaches anyone.
    object->disconnect();
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
