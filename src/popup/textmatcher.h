#ifndef TEXTMATCHER_H
#define TEXTMATCHER_H

#include <QString>
#include <QVector>

#include <climits>

// Finds a needle in texts with exactly the verdict of
// QString::indexOf(needle, 0, mode) >= 0, several times faster when case
// is ignored, and within a range of start positions, so that a huge text
// can be searched piece by piece.
//
// How Qt compares, which this follows: with the case kept, UTF-16 code
// units. With the case ignored, the case folds of the code units; a low
// surrogate that follows a high one is folded as the whole character the
// pair makes, except in a one-unit needle, whose unit is compared with
// single units of the text. A needle's first unit is folded alone, so a
// needle that starts with a low surrogate never matches the second half of
// a pair, save where Qt's hashed search lets it (see matchesFirstUnit).
//
// The search looks for the needle's rarest unit (its anchor) with wide
// compares and checks the rest of the needle only around those places.
class TextMatcher
{
public:
    TextMatcher() = default;
    TextMatcher(const QString &needle, Qt::CaseSensitivity mode);

    // The first start position in [from, to) where `text` holds the
    // needle, or -1. An empty needle is found at `from`.
    int indexIn(const QString &text, int from = 0, int to = INT_MAX) const;
    bool matches(const QString &text) const { return indexIn(text) >= 0; }

    const QString &needle() const { return pattern; }
    Qt::CaseSensitivity caseSensitivity() const { return mode; }

private:
    static constexpr int maxWideVariants = 4;

    bool matchesAt(const ushort *text, int size, int at) const;
    bool matchesFirstUnit(const ushort *text, int size, int at) const;
    int scan(const ushort *text, int size, int from, int end) const;

    QString pattern;
    Qt::CaseSensitivity mode = Qt::CaseSensitive;
    // What each needle unit is compared by: the unit itself, or its fold.
    QVector<char32_t> keys;
    int anchor = 0;
    // The units of a text that can stand at the anchor's place.
    QVector<ushort> variants;
    // The needle starts with a low surrogate and the case is ignored.
    bool lowSurrogateFirst = false;
};

#endif  // TEXTMATCHER_H
