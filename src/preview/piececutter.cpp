#include "piececutter.h"

#include <QTextBoundaryFinder>

namespace {
// How far back from the cost limit a piece may end early to end after a
// blank or a punctuation mark: an eighth of a piece at most.
const int blankReach = 8;
}  // namespace

PieceCutter::PieceCutter(const QString &text)
    : text(text)
{ }

bool PieceCutter::isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x000a:
    case 0x000d:
    case 0x2029:
    case 0xfdd0:
    case 0xfdd1:
        return true;
    default:
        return false;
    }
}

int PieceCutter::lineEnd(const QString &text, int from, int limit)
{
    const int end = limit < text.size() - from ? from + limit + 1 : text.size();
    const QChar *chars = text.constData();
    for (int i = from; i < end; ++i) {
        if (isLineBreak(chars[i]))
            return i;
    }
    return end == text.size() ? end : -1;
}

PieceCutter::Unit PieceCutter::next(bool group)
{
    int spent = 0;
    bool separator = false;
    Unit unit = nextLine(spent, separator);
    if (!group || unit.isPiece() || separator)
        return unit;
    int groupCost = lineCost(spent);
    // The lines that follow while they fit; the first that does not is
    // left for the next unit.
    while (!atEnd()) {
        const int before = position;
        const int lineBefore = lineStart;
        const Unit following = nextLine(spent, separator);
        if (following.isPiece() || separator || groupCost + lineCost(spent) > maxGroupCost) {
            position = before;
            lineStart = lineBefore;
            break;
        }
        groupCost += lineCost(spent);
        unit.end = following.end;
        unit.next = following.next;
        ++unit.lines;
    }
    return unit;
}

// A whole line, or a piece of a line too long; `spent` gets its cost and
// `separator` whether it holds a line separator.
PieceCutter::Unit PieceCutter::nextLine(int &spent, bool &separator)
{
    Unit unit;
    unit.start = position;
    unit.lineStart = lineStart;
    const QChar *chars = text.constData();
    const int size = text.size();
    spent = 0;
    separator = false;
    int i = position;
    for (; i < size && !isLineBreak(chars[i]); ++i) {
        spent += cost(chars[i]);
        separator = separator || chars[i] == QChar(QChar::LineSeparator);
        if (spent > maxPieceCost)
            break;
    }
    if (i < size && !isLineBreak(chars[i])) {
        // Too long to lay out in time: a piece, and the line goes on.
        unit.end = cutAt(position, i);
        unit.next = unit.end;
        unit.continued = true;
        position = unit.end;
        return unit;
    }
    unit.end = i;
    unit.next = i;
    if (i < size) {
        unit.next = i + 1;
        if (chars[i] == QLatin1Char('\r') && i + 1 < size && chars[i + 1] == QLatin1Char('\n'))
            unit.next = i + 2;
    }
    position = unit.next;
    lineStart = position;
    return unit;
}

QString PieceCutter::groupText(const QString &text, int start, int end)
{
    QString joined;
    joined.reserve(end - start);
    const QChar *chars = text.constData();
    for (int i = start; i < end; ++i) {
        if (!isLineBreak(chars[i])) {
            joined += chars[i];
            continue;
        }
        joined += QChar(QChar::LineSeparator);
        if (chars[i] == QLatin1Char('\r') && i + 1 < end && chars[i + 1] == QLatin1Char('\n'))
            ++i;
    }
    return joined;
}

// Where a piece that starts at `start` and must end at or before `limit`
// ends: in its final part after the last blank, or else after the last
// punctuation mark (a minified document has no blanks), if that is a
// grapheme boundary; else at the last grapheme boundary. Grapheme boundaries
// are found from the piece's start, itself a boundary of the whole line;
// only the characters up to `limit` decide whether `limit` is one.
int PieceCutter::cutAt(int start, int limit) const
{
    QTextBoundaryFinder graphemes(
        QTextBoundaryFinder::Grapheme, text.constData() + start, limit + 1 - start, nullptr, 0);
    const QChar *chars = text.constData();
    const int reach = qMax(start + 1, limit - (limit - start) / blankReach);
    const auto lastAfter = [&](bool (*breakable)(QChar)) {
        for (int i = limit; i >= reach; --i) {
            if (breakable(chars[i - 1])) {
                graphemes.setPosition(i - start);
                if (graphemes.isAtBoundary())
                    return i;
            }
        }
        return -1;
    };
    int cut = lastAfter([](QChar c) { return c.isSpace(); });
    if (cut < 0)
        cut = lastAfter([](QChar c) { return c.isPunct(); });
    if (cut >= 0)
        return cut;
    graphemes.setPosition(limit - start);
    const int boundary = graphemes.isAtBoundary() ? limit - start : graphemes.toPreviousBoundary();
    if (boundary > 0)
        return start + boundary;
    // A single cluster longer than a piece: cut it, though not inside a
    // surrogate pair.
    return chars[limit - 1].isHighSurrogate() && limit - 1 > start ? limit - 1 : limit;
}
