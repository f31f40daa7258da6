#ifndef WORKERTHREAD_H
#define WORKERTHREAD_H

#include <QObject>

class QThread;

// The one way the program runs work in the background. Every thread of the
// program is one of these: a worker object moved into a thread of its own,
// fed and answering through queued signals that carry values (implicitly
// shared snapshots), so that no data is shared between threads and nothing
// in the program locks. The GUI thread never waits for a worker, except at
// quit, and then for a bounded time.
//
// The threads of the program:
// - the key watcher, where the global keyboard hook runs and the double
//   tap is detected (platform layer);
// - the clipboard reader, which reads the system clipboard with a deadline
//   on every read (platform layer);
// - the save worker, which encodes, compresses and writes the clip list
//   file and the settings file (saveworker.h);
// - the line matcher, which searches the preview's colouring rules in lines
//   too long to search on the GUI thread (preview/matchworker.h).
//
// The worker's thread runs an event loop; the worker is deleted once the
// thread has ended.
class WorkerThread : public QObject
{
    Q_OBJECT

public:
    // Takes `worker` (which must have no parent) into a new thread named
    // `name` and starts it.
    WorkerThread(QObject *worker, const QString &name, QObject *parent = nullptr);
    // Stops the thread, waiting at most stopTimeoutMs.
    ~WorkerThread() override;

    QObject *worker() const { return object; }
    bool isRunning() const;

    // Ends the worker's event loop once it has handled what was queued
    // before this call, and waits for that at most `timeoutMs`. Returns
    // false when the worker is still busy then: its thread is abandoned
    // (left to end by itself, or with the process) rather than destroyed
    // under its feet, and nothing it sends is delivered any more.
    bool stop(int timeoutMs = stopTimeoutMs);
    // Gives up on the worker at once without waiting (it is stuck in a call
    // that may never return); see stop().
    void abandon();

    static constexpr int stopTimeoutMs = 5000;

signals:
    // To the worker's thread: end the event loop.
    void quitRequested();

private:
    QThread *thread = nullptr;
    QObject *object = nullptr;
};

#endif  // WORKERTHREAD_H
