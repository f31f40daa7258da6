#ifndef LISTFILTER_H
#define LISTFILTER_H

#include "matchcache.h"
#include "textmatcher.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVector>

// Finds the history entries that hold a needle, in slices of bounded time
// on the GUI thread, so that a key press in the filter box never stalls the
// popup however much text the history holds. A huge entry is searched piece
// by piece. Matches are reported as they are found, newest entry first, so
// the list can show its first row at once.
//
// What earlier searches found narrows a new one: a longer needle searches
// only the entries that held its start (also while that search still
// runs), and a search run before answers at once. All of it belongs to one
// history; a search over a changed history starts afresh.
class ListFilter : public QObject
{
    Q_OBJECT

public:
    explicit ListFilter(QObject *parent = nullptr);

    // Starts searching `history` for `needle` under `mode` in place of the
    // search running; nothing is searched before runSlice() or the event
    // loop's turn.
    void start(const QStringList &history, const QString &needle, Qt::CaseSensitivity mode);
    // Searches for about the slice budget now, reporting what it finds;
    // the rest follows in slices from the event loop.
    void runSlice();
    // Milliseconds per slice; 0 makes every slice one step: one entry, or
    // one piece of a huge one.
    void setSliceBudget(int milliseconds) { sliceBudget = milliseconds; }
    // Stops the search running; what finished searches found is kept for
    // as long as `history` is the history they searched.
    void stop(const QStringList &history);
    bool isRunning() const { return running; }
    // What the search found so far: history positions, ascending.
    const QVector<int> &matches() const { return found; }

    static constexpr int sliceBudgetMs = 8;
    // At most this many units are compared between two looks at the clock.
    static constexpr int unitsPerStep = 1 << 20;

signals:
    // Entries found after those reported before, ascending.
    void matched(const QVector<int> &positions);
    // The search has ended: matches() is its whole result.
    void finished();

private:
    void forgetUnless(const QStringList &history);
    int stepLength() const;

    QStringList history;
    MatchCache cache;
    TextMatcher matcher;
    // The entries still to search, ascending, from `next` on; the one at
    // `next` is searched from start position `offset` on.
    QVector<int> candidates;
    int next = 0;
    int offset = 0;
    QVector<int> found;
    int reported = 0;
    bool running = false;
    int sliceBudget = sliceBudgetMs;
    // Counts the searches started and stopped, so that a slice notices when
    // what it reported made someone start another.
    quint64 generation = 0;
    QTimer nextSlice;
};

#endif  // LISTFILTER_H
