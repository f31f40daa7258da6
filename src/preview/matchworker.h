#ifndef MATCHWORKER_H
#define MATCHWORKER_H

#include <QHash>
#include <QMetaType>
#include <QObject>
#include <QPair>
#include <QRegExp>
#include <QString>
#include <QVector>

#include "background/handover.h"
#include "linematcher.h"

// A colouring rule as plain values, to cross to the worker's thread: a
// QRegExp prepares its engine lazily, even when copied, so one object is
// never shared between threads.
struct MatchRule
{
    QString pattern;
    Qt::CaseSensitivity sensitivity = Qt::CaseSensitive;
    QRegExp::PatternSyntax syntax = QRegExp::RegExp;
    bool minimal = false;

    static MatchRule of(const QRegExp &expression);
    QRegExp expression() const;
};

bool operator==(const MatchRule &a, const MatchRule &b);
uint qHash(const MatchRule &rule, uint seed = 0);

// The matches of `rules` over the line of `entry` that starts at
// `lineStart`, clipped to `cap` (see LineMatcher).
struct MatchRequest
{
    quint64 ticket = 0;
    QString entry;
    quint64 entrySerial = 0;
    int lineStart = 0;
    QVector<MatchRule> rules;
    int cap = 0;
    // Last: see HandOverMark.
    HandOverMark<MatchRequest> handOver;
};

struct MatchReply
{
    quint64 ticket = 0;
    QVector<LineMatch> matches;
    // Last: see HandOverMark.
    HandOverMark<MatchReply> handOver;
};

Q_DECLARE_METATYPE(MatchRequest)
Q_DECLARE_METATYPE(MatchReply)

// Matches the colouring rules over lines too long to match on the GUI
// thread: one search in a line of megabytes can take a few hundred
// milliseconds. Lives in a WorkerThread; answers each request with a reply
// of the same ticket.
//
// It keeps each rule's matches of the lines it has matched lately, so that
// when only the filter's find rule changes, only that rule is searched for
// again.
class MatchWorker : public QObject
{
    Q_OBJECT

public:
    void match(const MatchRequest &request);

signals:
    void matched(const MatchReply &reply);

private:
    // Lines kept, at most; then the memory starts over.
    static const int keptLines = 256;

    quint64 keptEntry = 0;
    QHash<int, QHash<MatchRule, QVector<LineMatch>>> kept;
};

#endif  // MATCHWORKER_H
