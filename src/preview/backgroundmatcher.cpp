#include "backgroundmatcher.h"

#include <QThread>

#include "background/handover.h"
#include "background/workerthread.h"

namespace {
// How long quitting waits for a search in flight before it leaves the worker
// to end by itself: it only computes, so nothing is lost.
const int stopTimeoutMs = 200;
}  // namespace

BackgroundMatcher::BackgroundMatcher(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<MatchRequest>();
    qRegisterMetaType<MatchReply>();
}

BackgroundMatcher::~BackgroundMatcher()
{
    if (thread)
        thread->stop(stopTimeoutMs);
}

const QVector<LineMatch> *BackgroundMatcher::find(const QString &entry, quint64 entrySerial, int lineStart,
    const QVector<MatchRule> &rules, quint64 rulesSerial, int cap, bool urgent)
{
    if (entrySerial != this->entrySerial || rulesSerial != this->rulesSerial) {
        this->entrySerial = entrySerial;
        this->rulesSerial = rulesSerial;
        known.clear();
        asked.clear();
        queue.clear();
    }
    const auto found = known.constFind(lineStart);
    if (found != known.constEnd())
        return &found.value();

    if (asked.contains(lineStart)) {
        if (urgent) {
            for (int i = 0; i < queue.size(); ++i) {
                if (queue.at(i).lineStart == lineStart) {
                    queue.prepend(queue.takeAt(i));
                    break;
                }
            }
        }
        return nullptr;
    }
    MatchRequest request;
    request.ticket = ++lastTicket;
    request.entry = entry;
    request.entrySerial = entrySerial;
    request.lineStart = lineStart;
    request.rules = rules;
    request.cap = cap;
    asked.insert(lineStart);
    if (urgent)
        queue.prepend(request);
    else
        queue.append(request);
    sendNext();
    return nullptr;
}

void BackgroundMatcher::sendNext()
{
    if (inFlight != 0 || queue.isEmpty())
        return;
    if (!thread) {
        auto *worker = new MatchWorker;
        connect(this, &BackgroundMatcher::request, worker, &MatchWorker::match);
        connect(worker, &MatchWorker::matched, this, &BackgroundMatcher::receive);
        thread = new WorkerThread(worker, QStringLiteral("line matcher"), this);
        matchWorker = worker;
        // Colours can wait, the GUI thread cannot: below it where the
        // system has thread priorities (Windows), though not so low that a
        // busy machine would starve the search for good.
        worker->thread()->setPriority(QThread::LowPriority);
    }
    const MatchRequest next = queue.takeFirst();
    // Held until the answer: while the worker reads the entry and the rules,
    // a change here copies them rather than writing where it reads.
    inFlightRequest = next;
    inFlight = next.ticket;
    inFlightLine = next.lineStart;
    inFlightEntry = entrySerial;
    inFlightRules = rulesSerial;
    HandOver::sent(matchWorker);
    emit request(next);
}

void BackgroundMatcher::receive(const MatchReply &reply)
{
    HandOver::received(matchWorker);
    HandOver::receivedValue<MatchReply>();
    if (reply.ticket != inFlight)
        return;
    inFlight = 0;
    inFlightRequest = MatchRequest();
    // Asked for before the entry or the rules changed: of no use now.
    const bool current
        = inFlightEntry == entrySerial && inFlightRules == rulesSerial && asked.remove(inFlightLine);
    if (current)
        known.insert(inFlightLine, reply.matches);
    const int line = inFlightLine;
    sendNext();
    if (current)
        emit ready(line);
}
