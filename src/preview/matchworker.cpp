#include "matchworker.h"

#include "background/handover.h"

#include <limits>

#include "piececutter.h"

MatchRule MatchRule::of(const QRegExp &expression)
{
    MatchRule rule;
    rule.pattern = expression.pattern();
    rule.sensitivity = expression.caseSensitivity();
    rule.syntax = expression.patternSyntax();
    rule.minimal = expression.isMinimal();
    return rule;
}

QRegExp MatchRule::expression() const
{
    QRegExp expression(pattern, sensitivity, syntax);
    expression.setMinimal(minimal);
    return expression;
}

bool operator==(const MatchRule &a, const MatchRule &b)
{
    return a.pattern == b.pattern && a.sensitivity == b.sensitivity && a.syntax == b.syntax
        && a.minimal == b.minimal;
}

uint qHash(const MatchRule &rule, uint seed)
{
    return qHash(rule.pattern, seed) ^ uint(rule.sensitivity) ^ (uint(rule.syntax) << 2)
        ^ (uint(rule.minimal) << 6);
}

void MatchWorker::match(const MatchRequest &request)
{
    HandOver::received(this);
    HandOver::receivedValue<MatchRequest>();
    if (request.entrySerial != keptEntry || kept.size() >= keptLines) {
        kept.clear();
        keptEntry = request.entrySerial;
    }
    const QString &entry = request.entry;
    const int end = PieceCutter::lineEnd(entry, request.lineStart, std::numeric_limits<int>::max());
    const QString line = request.lineStart == 0 && end == entry.size()
        ? entry
        : entry.mid(request.lineStart, end - request.lineStart);

    QHash<MatchRule, QVector<LineMatch>> &known = kept[request.lineStart];
    MatchReply reply;
    reply.ticket = request.ticket;
    for (int i = 0; i < request.rules.size(); ++i) {
        const MatchRule &rule = request.rules.at(i);
        auto found = known.find(rule);
        if (found == known.end())
            found = known.insert(rule, LineMatcher::matchRule(line, rule.expression(), 0, request.cap));
        for (LineMatch match : *found) {
            match.rule = i;
            reply.matches.append(match);
        }
    }
    HandOver::sent(this);
    emit matched(reply);
}
