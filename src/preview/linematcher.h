#ifndef LINEMATCHER_H
#define LINEMATCHER_H

#include <QRegExp>
#include <QString>
#include <QVector>

// One match of a colouring rule in a line: the rule's index in the order
// the rules are applied, and the characters it covers.
struct LineMatch
{
    int rule;
    int start;
    int length;
};
Q_DECLARE_TYPEINFO(LineMatch, Q_PRIMITIVE_TYPE);

inline bool operator==(const LineMatch &a, const LineMatch &b)
{
    return a.rule == b.rule && a.start == b.start && a.length == b.length;
}

// Finds where the colouring rules match in a line, coloured only in its
// first `cap` characters, exactly as one pass over the whole line would.
//
// Each rule is searched for from the start of the line, then from the end
// of each match (one character on after an empty match), always in the
// whole line: so `\b`, `$`, a lookahead or a match that runs past the cap
// see what they would see in the whole line. The search of a rule ends at
// its first match that starts at or after the cap, or at the line's end;
// only the matches are clipped to the cap.
class LineMatcher
{
public:
    LineMatcher(const QVector<QRegExp> &rules, int cap);

    // The matches of all rules, rule by rule in order, each rule's from
    // left to right: applied in that order they give the line's colours.
    QVector<LineMatch> match(const QString &line) const;
    // The matches of one rule, which is given index `rule`.
    static QVector<LineMatch> matchRule(const QString &line, const QRegExp &expression, int rule, int cap);

private:
    QVector<QRegExp> rules;
    int cap;
};

#endif  // LINEMATCHER_H
