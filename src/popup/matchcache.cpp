#include "matchcache.h"

void MatchCache::clear()
{
    results.clear();
}

void MatchCache::store(const QString &needle, Qt::CaseSensitivity mode, const QVector<int> &matches)
{
    for (int i = 0; i < results.size(); ++i) {
        if (results.at(i).mode == mode && results.at(i).needle == needle) {
            results.removeAt(i);
            break;
        }
    }
    if (results.size() >= maxResults)
        results.removeFirst();
    results.append(Result { needle, mode, matches });
}

bool MatchCache::find(const QString &needle, Qt::CaseSensitivity mode, QVector<int> *matches) const
{
    for (const Result &result : results) {
        if (result.mode == mode && result.needle == needle) {
            *matches = result.matches;
            return true;
        }
    }
    return false;
}

bool MatchCache::narrowest(const QString &needle, Qt::CaseSensitivity mode, QVector<int> *superset) const
{
    const Result *best = nullptr;
    for (const Result &result : results) {
        if (covers(result.needle, result.mode, needle, mode)
            && (!best || result.matches.size() < best->matches.size()))
            best = &result;
    }
    if (!best)
        return false;
    *superset = best->matches;
    return true;
}

bool MatchCache::covers(const QString &coarseNeedle, Qt::CaseSensitivity coarseMode, const QString &needle,
    Qt::CaseSensitivity mode)
{
    if (coarseMode != mode && coarseMode != Qt::CaseInsensitive)
        return false;
    // Ignoring the case, Qt finds a needle that starts with a low surrogate
    // by rules that depend on its length and never at the second half of a
    // pair, though its unit is there: neither rule above holds for it.
    if ((mode == Qt::CaseInsensitive || coarseMode == Qt::CaseInsensitive) && !needle.isEmpty()
        && needle.at(0).isLowSurrogate())
        return false;
    return needle.startsWith(coarseNeedle, Qt::CaseSensitive);
}
