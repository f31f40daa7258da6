#ifndef BACKGROUNDMATCHER_H
#define BACKGROUNDMATCHER_H

#include <QHash>
#include <QObject>
#include <QSet>
#include <QVector>

#include "linematcher.h"
#include "matchworker.h"

class WorkerThread;

// The GUI thread's side of the match worker: asks it for the matches of long
// lines, one line at a time, and keeps the answers for the current entry and
// rule set. The lines in view are asked for before any other; a change of
// entry or rules drops what was asked and known, and the answer then in
// flight is ignored. The worker's thread starts with the first request.
class BackgroundMatcher : public QObject
{
    Q_OBJECT

public:
    explicit BackgroundMatcher(QObject *parent = nullptr);
    ~BackgroundMatcher() override;

    // The matches of `rules` (a rule set that `rulesSerial` names) over the
    // line of the entry `entrySerial` that starts at `lineStart`, clipped to
    // `cap`, once the worker has found them. Until then null: the line is
    // asked for (before the others when `urgent`), and ready() is sent with
    // the line's start when its matches have come.
    const QVector<LineMatch> *find(const QString &entry, quint64 entrySerial, int lineStart,
        const QVector<MatchRule> &rules, quint64 rulesSerial, int cap, bool urgent);
    bool isBusy() const { return inFlight != 0; }
    int waiting() const { return queue.size(); }

signals:
    void ready(int lineStart);
    void request(const MatchRequest &request);

private:
    void sendNext();
    void receive(const MatchReply &reply);

    quint64 entrySerial = 0;
    quint64 rulesSerial = 0;
    QHash<int, QVector<LineMatch>> known;
    // Line starts asked for and not yet answered, and the requests not yet
    // sent, the most urgent first.
    QSet<int> asked;
    QVector<MatchRequest> queue;
    quint64 lastTicket = 0;
    quint64 inFlight = 0;
    int inFlightLine = 0;
    quint64 inFlightEntry = 0;
    quint64 inFlightRules = 0;
    MatchRequest inFlightRequest;
    WorkerThread *thread = nullptr;
    // Lives on the worker's thread: only its address is used here.
    const MatchWorker *matchWorker = nullptr;
};

#endif  // BACKGROUNDMATCHER_H
