#ifndef SAVEQUEUE_H
#define SAVEQUEUE_H

#include "saveworker.h"

#include <QObject>

class WorkerThread;

// The GUI thread's side of the saves: hands each save to the save thread
// and returns at once. While one save runs, only the newest request waits
// for its turn (a burst of captures writes the newest history, not every
// step of it); a purge asked for by a request that was overtaken is kept.
class SaveQueue : public QObject
{
    Q_OBJECT

public:
    explicit SaveQueue(QObject *parent = nullptr);
    // finish()es.
    ~SaveQueue() override;

    // Saves a copy of `settings` into `directory` in the background; returns
    // the sequence number that finished() reports for it (or for a later
    // request that overtook it).
    quint64 save(const Settings &settings, const QString &directory, bool purgeOlderCopies);
    // No save running or waiting.
    bool isIdle() const { return !running && !waiting; }

    // Hands over the waiting request and waits, at most `timeoutMs`, until
    // every save asked for is on disk; after this, saves run at once on the
    // calling thread. False when the time ran out (the save thread is then
    // left to end with the process; each file it writes is replaced in one
    // step, so the files hold the old or the new content). Called at quit.
    bool finish(int timeoutMs = finishTimeoutMs);
    static constexpr int finishTimeoutMs = 5000;

signals:
    // The save of request `sequence` (and of the requests it overtook) ended.
    void finished(quint64 sequence, const SaveOutcome &outcome);
    // A save failed: the first file that could not be written and why.
    void failed(const QString &path, const QString &reason);
    // Every save asked for has ended.
    void idle();
    // To the save thread.
    void toWorker(const SaveRequest &request);

private:
    void onSaved(quint64 sequence, const SaveOutcome &outcome);
    void send(const SaveRequest &next);

    WorkerThread *thread = nullptr;
    // Lives on the save thread: only its address is used here.
    const SaveWorker *saveWorker = nullptr;
    bool running = false;
    bool waiting = false;
    SaveRequest next;
    quint64 lastSequence = 0;
};

#endif  // SAVEQUEUE_H
