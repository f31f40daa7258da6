#include "savequeue.h"

#include "handover.h"
#include "workerthread.h"

#include <cstdio>

SaveQueue::SaveQueue(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<SaveRequest>();
    qRegisterMetaType<SaveOutcome>();
    auto *worker = new SaveWorker;
    connect(this, &SaveQueue::toWorker, worker, [this, worker](const SaveRequest &request) {
        HandOver::received(this);
        HandOver::receivedValue<SaveRequest>();
        worker->save(request);
    });
    saveWorker = worker;
    connect(worker, &SaveWorker::saved, this, &SaveQueue::onSaved);
    thread = new WorkerThread(worker, QStringLiteral("quillet save"), this);
}

SaveQueue::~SaveQueue()
{
    finish();
}

quint64 SaveQueue::save(const Settings &settings, const QString &directory, bool purgeOlderCopies)
{
    SaveRequest request;
    request.settings = settings;
    request.directory = directory;
    request.sequence = ++lastSequence;
    if (!thread) {
        // After quit: nothing runs in the background any more.
        const SaveOutcome outcome = settings.saveTo(directory, purgeOlderCopies);
        request.purgeOlderCopies = purgeOlderCopies;
        onSaved(request.sequence, outcome);
        return request.sequence;
    }
    // A purge overtaken by a later request still purges: the later history
    // lacks the deleted entry too.
    request.purgeOlderCopies = purgeOlderCopies || (waiting && next.purgeOlderCopies);
    if (running) {
        next = request;
        waiting = true;
    } else {
        send(request);
    }
    return request.sequence;
}

void SaveQueue::send(const SaveRequest &request)
{
    running = true;
    HandOver::sent(this);
    emit toWorker(request);
}

void SaveQueue::onSaved(quint64 sequence, const SaveOutcome &outcome)
{
    HandOver::received(saveWorker);
    HandOver::receivedValue<SaveOutcome>();
    running = false;
    if (waiting) {
        waiting = false;
        const SaveRequest request = next;
        next = SaveRequest();
        send(request);
    }
    emit finished(sequence, outcome);
    if (!outcome.ok)
        emit failed(outcome.failedPath, outcome.reason);
    if (isIdle())
        emit idle();
}

bool SaveQueue::finish(int timeoutMs)
{
    if (!thread)
        return true;
    if (waiting) {
        HandOver::sent(this);
        emit toWorker(next);  // queued behind the running one
    }
    waiting = false;
    next = SaveRequest();
    WorkerThread *ending = thread;
    thread = nullptr;
    const bool done = ending->stop(timeoutMs);
    delete ending;
    running = false;
    if (!done)
        std::fputs(
            "quillet: a save did not end in time at quit; the files keep their previous content\n", stderr);
    return done;
}
