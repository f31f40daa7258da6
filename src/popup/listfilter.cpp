#include "listfilter.h"

#include <QElapsedTimer>

ListFilter::ListFilter(QObject *parent)
    : QObject(parent)
{
    // A slice ends when control is back in the event loop.
    nextSlice.setSingleShot(true);
    nextSlice.setInterval(0);
    connect(&nextSlice, &QTimer::timeout, this, &ListFilter::runSlice);
}

void ListFilter::start(const QStringList &list, const QString &needle, Qt::CaseSensitivity mode)
{
    forgetUnless(list);
    QVector<int> superset;
    bool narrowed = false;
    if (running && MatchCache::covers(matcher.needle(), matcher.caseSensitivity(), needle, mode)) {
        // The search running so far: what it found and what it has yet to
        // search hold every match of the new one.
        superset = found + candidates.mid(next);
        narrowed = true;
    }
    QVector<int> known;
    if (cache.find(needle, mode, &known)) {
        superset.clear();
        found = known;
    } else {
        found.clear();
        if (cache.narrowest(needle, mode, &known) && (!narrowed || known.size() < superset.size())) {
            superset = known;
            narrowed = true;
        }
        if (!narrowed) {
            superset.resize(history.size());
            for (int i = 0; i < superset.size(); ++i)
                superset[i] = i;
        }
    }
    matcher = TextMatcher(needle, mode);
    candidates = superset;
    next = 0;
    offset = 0;
    reported = 0;
    running = true;
    ++generation;
    nextSlice.start();
}

void ListFilter::runSlice()
{
    if (!running)
        return;
    nextSlice.stop();
    QElapsedTimer clock;
    clock.start();
    const qint64 budget = qint64(sliceBudget) * 1000000;
    const int step = stepLength();
    const int needleLength = matcher.needle().size();
    while (next < candidates.size()) {
        const QString &entry = history.at(candidates.at(next));
        const int to = offset + qMin(step, INT_MAX - offset);
        if (matcher.indexIn(entry, offset, to) >= 0) {
            found.append(candidates.at(next));
            ++next;
            offset = 0;
        } else if (qint64(to) > qint64(entry.size()) - needleLength) {
            ++next;
            offset = 0;
        } else {
            offset = to;  // a huge entry: its next piece
        }
        if (clock.nsecsElapsed() >= budget)
            break;
    }

    const bool done = next >= candidates.size();
    if (done) {
        running = false;
        cache.store(matcher.needle(), matcher.caseSensitivity(), found);
    } else {
        nextSlice.start();
    }
    const quint64 search = generation;
    if (reported < found.size()) {
        const QVector<int> fresh = found.mid(reported);
        reported = found.size();
        emit matched(fresh);
    }
    if (done && search == generation)
        emit finished();
}

void ListFilter::stop(const QStringList &list)
{
    running = false;
    ++generation;
    nextSlice.stop();
    candidates.clear();
    found.clear();
    reported = 0;
    forgetUnless(list);
}

// What was found in another history than `list` is no answer for it.
void ListFilter::forgetUnless(const QStringList &list)
{
    if (history.isSharedWith(list))
        return;
    history = list;
    cache.clear();
    running = false;
    nextSlice.stop();
    candidates.clear();
    found.clear();
}

// How far into an entry one step searches: the work of a step grows with
// the needle's length where the text nearly matches everywhere.
int ListFilter::stepLength() const
{
    return qMax(16, unitsPerStep / qMax(1, matcher.needle().size()));
}
