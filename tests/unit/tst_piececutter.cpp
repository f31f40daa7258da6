#include <QTextBoundaryFinder>
#include <QtTest>

#include <tuple>

#include "preview/piececutter.h"
#include "repeatedtext.h"

namespace {
// The grapheme boundaries of `text`, found over the whole of it.
QVector<bool> boundaries(const QString &text)
{
    QVector<bool> at(text.size() + 1, false);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (int position = 0; position >= 0; position = finder.toNextBoundary())
        at[position] = true;
    return at;
}

int costOf(const QStringRef &text)
{
    int cost = 0;
    for (const QChar c : text)
        cost += PieceCutter::cost(c);
    return cost;
}
}  // namespace

class TestPieceCutter : public QObject
{
    Q_OBJECT

private slots:
    void unitsRebuildTheText_data();
    void unitsRebuildTheText();
    void shortLinesStayWhole();
    void piecesEndAfterABlankOrPunctuation();
    void costs_data();
    void costs();
    void lineEnd_data();
    void lineEnd();
    void groups();
};

void TestPieceCutter::unitsRebuildTheText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minimumPieces");
    QTest::addColumn<bool>("group");

    const int long1 = 3 * PieceCutter::maxPieceCost;
    const QVector<std::tuple<const char *, QString, int>> texts {
        { "empty", QString(), 0 },
        { "short lines", QStringLiteral("ab\ncd\r\nef\rgh\u2029ij"), 0 },
        { "line breaks only", QStringLiteral("\n\r\n\r\r\n\n"), 0 },
        { "one long ASCII line", repeated(QStringLiteral("{\"a\":12,\"b\":true},"), long1), 3 },
        { "no blank at all", repeated(QStringLiteral("QUJDREVGR0hJ"), long1), 3 },
        { "CJK and full-width spaces", repeated(QStringLiteral("日本語の文章\u3000全角"), long1), 10 },
        { "tabs", repeated(QStringLiteral("key\tvalue\t\t"), long1), 5 },
        { "right-to-left", repeated(QStringLiteral("שלום עולם\tمرحبا 42 "), long1), 5 },
        { "surrogate pairs", repeated(QStringLiteral("\U0001F600\U0002000B"), long1), 5 },
        { "combining marks", repeated(QStringLiteral("e\u0301\u0302\u0303a\u0308"), long1), 5 },
        { "emoji sequences", repeated(QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"), long1),
            5 },
        { "flags", repeated(QStringLiteral("\U0001F1EF\U0001F1F5"), long1), 5 },
        { "prepended signs", repeated(QStringLiteral("\u0600\u3000\u0600x"), long1), 5 },
        { "one cluster longer than a piece",
            QStringLiteral("a") + QString(PieceCutter::maxPieceCost, QChar(0x0301)) + QStringLiteral(" tail"),
            2 },
        { "long lines between short ones",
            QStringLiteral("short\r\n") + repeated(QStringLiteral("word "), long1) + QStringLiteral("\nmid\r")
                + repeated(QStringLiteral("x\t"), long1) + QStringLiteral("\u2029end\n"),
            6 },
        { "line ends right at the limit",
            QString(PieceCutter::maxPieceCost, QLatin1Char('x')) + QStringLiteral("\n")
                + QString(PieceCutter::maxPieceCost + 1, QLatin1Char('y')),
            2 },
        { "many short lines", repeated(QStringLiteral("line of text\r\n\n\tx\r"), 20 * long1), 0 },
        { "line separators of their own", repeated(QStringLiteral("a\u2028b\nc\n\nd e\u2028\n"), 4 * long1),
            0 },
    };
    for (const auto &row : texts) {
        QTest::addRow("%s", std::get<0>(row)) << std::get<1>(row) << std::get<2>(row) << false;
        QTest::addRow("%s, grouped", std::get<0>(row)) << std::get<1>(row) << std::get<2>(row) << true;
    }
}

// Joined in order, with their line breaks and nothing at piece breaks, the
// units give the text back; each is a whole line or a piece that fits the
// cost, ends at a grapheme boundary of the whole text and is not empty.
void TestPieceCutter::unitsRebuildTheText()
{
    QFETCH(QString, text);
    QFETCH(int, minimumPieces);
    QFETCH(bool, group);

    const QVector<bool> boundary = boundaries(text);
    PieceCutter cutter(text);
    QString joined;
    int pieces = 0;
    int lineStart = 0;
    int expectedStart = 0;
    while (!cutter.atEnd()) {
        const PieceCutter::Unit unit = cutter.next(group);
        if (unit.isGroup()) {
            // Whole short lines, none with a line separator of its own,
            // within the group's cost.
            QVERIFY(group);
            QVERIFY(!unit.isPiece());
            QCOMPARE(unit.start, expectedStart);
            QCOMPARE(unit.lineStart, lineStart);
            const QString lines = PieceCutter::groupText(text, unit.start, unit.end);
            QCOMPARE(lines.count(QChar(QChar::LineSeparator)), unit.lines - 1);
            int groupCost = 0;
            for (const QStringRef &line : lines.splitRef(QChar(QChar::LineSeparator))) {
                QVERIFY(costOf(line) <= PieceCutter::maxPieceCost);
                groupCost += PieceCutter::lineCost(costOf(line));
            }
            QVERIFY(groupCost <= PieceCutter::maxGroupCost);
            QVERIFY(unit.next == text.size() || PieceCutter::isLineBreak(text.at(unit.end)));
            joined += text.midRef(unit.start, unit.next - unit.start);
            lineStart = expectedStart = unit.next;
            continue;
        }
        QCOMPARE(unit.start, expectedStart);
        QCOMPARE(unit.lineStart, lineStart);
        QVERIFY(unit.end >= unit.start);
        QVERIFY(unit.next >= unit.end);
        QCOMPARE(cutter.at(), unit.next);
        joined += text.midRef(unit.start, unit.next - unit.start);
        for (int i = unit.start; i < unit.end; ++i)
            QVERIFY2(!PieceCutter::isLineBreak(text.at(i)), qPrintable(QString::number(i)));
        if (unit.continued) {
            ++pieces;
            QVERIFY(unit.end > unit.start);
            QCOMPARE(unit.next, unit.end);
            const bool oneCluster = !boundary.mid(unit.start + 1, unit.end - unit.start - 1).contains(true)
                && !boundary.at(unit.end);
            QVERIFY2(boundary.at(unit.end) || oneCluster, qPrintable(QString::number(unit.end)));
            QVERIFY(!text.at(unit.end - 1).isHighSurrogate());
            QVERIFY(costOf(text.midRef(unit.start, unit.end - unit.start)) <= PieceCutter::maxPieceCost);
        } else {
            QVERIFY(unit.next == text.size() || PieceCutter::isLineBreak(text.at(unit.end)));
            if (unit.start == unit.lineStart)
                QVERIFY(costOf(text.midRef(unit.start, unit.end - unit.start)) <= PieceCutter::maxPieceCost);
            else
                ++pieces;
            lineStart = unit.next;
        }
        QCOMPARE(unit.isPiece(), unit.continued || unit.start != unit.lineStart);
        expectedStart = unit.next;
    }
    QCOMPARE(joined, text);
    QVERIFY2(pieces >= minimumPieces, qPrintable(QString::number(pieces)));
}

void TestPieceCutter::shortLinesStayWhole()
{
    const QString line(PieceCutter::maxPieceCost, QLatin1Char('a'));
    PieceCutter cutter(line + QStringLiteral("\r\n") + line);
    const PieceCutter::Unit first = cutter.next();
    QCOMPARE(first.end, line.size());
    QCOMPARE(first.next, line.size() + 2);
    QVERIFY(!first.isPiece());
    const PieceCutter::Unit second = cutter.next();
    QCOMPARE(second.start, line.size() + 2);
    QVERIFY(!second.isPiece());
    QVERIFY(cutter.atEnd());
}

void TestPieceCutter::piecesEndAfterABlankOrPunctuation()
{
    // A blank well inside the last eighth of the piece is taken; one before
    // it is not.
    const int limit = PieceCutter::maxPieceCost;
    QString text(3 * limit, QLatin1Char('x'));
    text[limit - 20] = QLatin1Char(' ');
    PieceCutter cutter(text);
    QCOMPARE(cutter.next().end, limit - 19);

    QString early(3 * limit, QLatin1Char('x'));
    early[limit / 2] = QLatin1Char(' ');
    PieceCutter second(early);
    QCOMPARE(second.next().end, limit);

    // Without a blank, after a punctuation mark; a blank comes first.
    QString minified(3 * limit, QLatin1Char('x'));
    minified[limit - 30] = QLatin1Char(',');
    PieceCutter third(minified);
    QCOMPARE(third.next().end, limit - 29);
    minified[limit - 100] = QLatin1Char(' ');
    PieceCutter fourth(minified);
    QCOMPARE(fourth.next().end, limit - 99);
}

void TestPieceCutter::costs_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("piece");  // characters of a piece of a long line of these
    QTest::newRow("ASCII") << QStringLiteral("abcd") << PieceCutter::maxPieceCost;
    QTest::newRow("CJK") << QStringLiteral("漢字かな") << PieceCutter::maxPieceCost / 5;
    QTest::newRow("tabs") << QStringLiteral("\t\t") << PieceCutter::maxPieceCost / PieceCutter::tabCost;
    QTest::newRow("surrogate pairs") << QStringLiteral("\U0001F600") << PieceCutter::maxPieceCost / 10 * 2;
}

void TestPieceCutter::costs()
{
    QFETCH(QString, unit);
    QFETCH(int, piece);
    PieceCutter cutter(repeated(unit, 10 * PieceCutter::maxPieceCost));
    const PieceCutter::Unit first = cutter.next();
    QVERIFY(first.continued);
    QCOMPARE(first.end - first.start, piece);
}

void TestPieceCutter::lineEnd_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("end");
    QTest::newRow("line feed") << QStringLiteral("abc\ndef") << 0 << 10 << 3;
    QTest::newRow("carriage return") << QStringLiteral("abc\r\ndef") << 0 << 10 << 3;
    QTest::newRow("paragraph separator") << QStringLiteral("ab\u2029c") << 0 << 10 << 2;
    QTest::newRow("frame mark") << QStringLiteral("ab\uFDD0c") << 0 << 10 << 2;
    QTest::newRow("line separator is no break") << QStringLiteral("ab\u2028c") << 0 << 10 << 4;
    QTest::newRow("end of text") << QStringLiteral("abc\ndef") << 4 << 10 << 7;
    QTest::newRow("break just within the limit") << QStringLiteral("abcd\n") << 0 << 4 << 4;
    QTest::newRow("break beyond the limit") << QStringLiteral("abcde\n") << 0 << 4 << -1;
    QTest::newRow("end just within the limit") << QStringLiteral("abcd") << 0 << 4 << 4;
}

void TestPieceCutter::lineEnd()
{
    QFETCH(QString, text);
    QFETCH(int, from);
    QFETCH(int, limit);
    QFETCH(int, end);
    QCOMPARE(PieceCutter::lineEnd(text, from, limit), end);
}

// Short lines share a unit as far as their cost allows; a long line, or a
// line with a line separator of its own, ends a group.
void TestPieceCutter::groups()
{
    QCOMPARE(PieceCutter::groupText(QStringLiteral("a\r\nb\n\rc\u2029d"), 0, 9),
        QStringLiteral("a\u2028b\u2028\u2028c\u2028d"));

    const QString line = QStringLiteral("0123456789\r\n");
    const int perGroup = PieceCutter::maxGroupCost / PieceCutter::lineCost(10);
    PieceCutter full(line.repeated(3 * perGroup));
    for (int g = 0; g < 3; ++g) {
        const PieceCutter::Unit unit = full.next(true);
        QCOMPARE(unit.lines, perGroup);
        QCOMPARE(unit.start, g * perGroup * 12);
        QCOMPARE(unit.end, (g + 1) * perGroup * 12 - 2);
        QCOMPARE(unit.next, (g + 1) * perGroup * 12);
    }
    QVERIFY(full.atEnd());

    const QString longLine(PieceCutter::maxPieceCost + 1, QLatin1Char('z'));
    PieceCutter mixed(QStringLiteral("x\n").repeated(5) + QStringLiteral("a\u2028b\ny\nz\n") + longLine);
    QCOMPARE(mixed.next(true).lines, 5);
    const PieceCutter::Unit own = mixed.next(true);
    QCOMPARE(own.lines, 1);
    QCOMPARE(own.end - own.start, 3);
    QCOMPARE(mixed.next(true).lines, 2);
    const PieceCutter::Unit piece = mixed.next(true);
    QVERIFY(piece.continued);
    QCOMPARE(piece.lines, 1);
    // Without grouping, a line a unit.
    PieceCutter single(QStringLiteral("x\ny\n"));
    QCOMPARE(single.next().lines, 1);
    QCOMPARE(single.next().lines, 1);
}

QTEST_GUILESS_MAIN(TestPieceCutter)
#include "tst_piececutter.moc"
