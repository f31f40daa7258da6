#ifndef MATCHCACHE_H
#define MATCHCACHE_H

#include <QString>
#include <QVector>

// The finished results of recent filter searches over one history: which
// entries hold which needle. A result answers the same search again at once
// (Backspace, the word box), and a shorter needle's result, or the result
// of the same needle with the case ignored, holds every match of a longer
// one, so only its entries need searching (typing on).
class MatchCache
{
public:
    void clear();
    // Keeps the result of a search that ran to its end.
    void store(const QString &needle, Qt::CaseSensitivity mode, const QVector<int> &matches);
    // The stored result of exactly this search.
    bool find(const QString &needle, Qt::CaseSensitivity mode, QVector<int> *matches) const;
    // The smallest stored result that holds every match of this search.
    bool narrowest(const QString &needle, Qt::CaseSensitivity mode, QVector<int> *superset) const;

    // Whether every text that holds `needle` under `mode` also holds
    // `coarseNeedle` under `coarseMode`: a needle's start is found wherever
    // the needle is (even a start that ends between the two halves of a
    // pair), and what matches with the case kept matches with it ignored,
    // save for needles that start with a low surrogate.
    static bool covers(const QString &coarseNeedle, Qt::CaseSensitivity coarseMode, const QString &needle,
        Qt::CaseSensitivity mode);

    static constexpr int maxResults = 32;

private:
    struct Result
    {
        QString needle;
        Qt::CaseSensitivity mode;
        QVector<int> matches;
    };
    // Oldest first.
    QVector<Result> results;
};

#endif  // MATCHCACHE_H
