#include "linematcher.h"

LineMatcher::LineMatcher(const QVector<QRegExp> &rules, int cap)
    : rules(rules)
    , cap(cap)
{ }

QVector<LineMatch> LineMatcher::match(const QString &line) const
{
    QVector<LineMatch> matches;
    for (int i = 0; i < rules.size(); ++i)
        matches += matchRule(line, rules.at(i), i, cap);
    return matches;
}

QVector<LineMatch> LineMatcher::matchRule(const QString &line, const QRegExp &expression, int rule, int cap)
{
    QVector<LineMatch> matches;
    const int length = line.length();
    // Matching records the match in the expression: work on a copy.
    QRegExp copy = expression;
    int position = copy.indexIn(line, 0);
    while (position >= 0 && position < cap) {
        const int matched = copy.matchedLength();
        if (matched > 0)
            matches.append({ rule, position, qMin(matched, cap - position) });
        if (position + matched >= length)
            break;
        // An empty match would be found again at the same place: step past
        // it by one character.
        position = copy.indexIn(line, position + qMax(matched, 1));
    }
    return matches;
}
