#include <QtTest>

#include "preview/linematcher.h"

namespace {
// One pass of every rule over the whole line, as the colouring is specified:
// each rule from position 0, then from the end of each match (one on after
// an empty one); a later rule overrides an earlier one. One digit per
// character: the index of the rule that colours it, '.' for none.
QString fullPass(const QString &line, const QVector<QRegExp> &rules)
{
    QString codes(line.size(), QLatin1Char('.'));
    for (int r = 0; r < rules.size(); ++r) {
        QRegExp expression = rules.at(r);
        int position = expression.indexIn(line, 0);
        while (position >= 0) {
            const int length = expression.matchedLength();
            for (int i = position; i < position + length; ++i)
                codes[i] = QLatin1Char(char('0' + r));
            if (position + length >= line.size())
                break;
            position = expression.indexIn(line, position + qMax(length, 1));
        }
    }
    return codes;
}

QString applied(const QVector<LineMatch> &matches, int size)
{
    QString codes(size, QLatin1Char('.'));
    for (const LineMatch &match : matches) {
        for (int i = match.start; i < match.start + match.length; ++i)
            codes[i] = QLatin1Char(char('0' + match.rule));
    }
    return codes;
}

QVector<QRegExp> compile(const QStringList &patterns, Qt::CaseSensitivity sensitivity = Qt::CaseSensitive)
{
    QVector<QRegExp> rules;
    for (const QString &pattern : patterns)
        rules.append(QRegExp(pattern, sensitivity, QRegExp::RegExp));
    return rules;
}
}  // namespace

class TestLineMatcher : public QObject
{
    Q_OBJECT

private slots:
    void cappedEqualsTheFullPass_data();
    void cappedEqualsTheFullPass();
    void matchesComeRuleByRule();
    void searchStopsAtTheFirstMatchPastTheCap();
};

void TestLineMatcher::cappedEqualsTheFullPass_data()
{
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("cap");
    // Whether matching only the first `cap` characters gives other colours:
    // the fault of a cap that cuts the text rather than the colours.
    QTest::addColumn<bool>("cutTextDiffers");

    const QString value = QStringLiteral("\\btrue\\b|\\bfalse\\b|\\b[0-9]+\\b|\\b0x[0-9A-Fa-f]+\\b");
    QTest::newRow("literal crossing the cap")
        << QStringList { "\"[^\"]*\"" } << "ab \"cdefghij\" x" << 8 << true;
    QTest::newRow("word boundary after the cap")
        << QStringList { "\\bfoo\\b" } << "xxxxx foobar" << 9 << true;
    QTest::newRow("word boundary holds") << QStringList { "\\bfoo\\b" } << "xxxxx foo bar" << 9 << false;
    QTest::newRow("end of line") << QStringList { "o$" } << "hello worldo" << 5 << true;
    QTest::newRow("lookahead past the cap") << QStringList { "a(?=bc)" } << "xxxxabc" << 6 << true;
    QTest::newRow("negative lookahead past the cap") << QStringList { "a(?!b)" } << "xxxxab" << 5 << true;
    QTest::newRow("greedy match to a far end") << QStringList { "x.*y" } << "axbbbbbbbbbbby" << 5 << true;
    QTest::newRow("number glued past the cap") << QStringList { value } << "x 12345a" << 4 << true;
    QTest::newRow("number crossing the cap") << QStringList { value } << "x 12345 true" << 4 << false;
    QTest::newRow("later rule overrides across the cap")
        << QStringList { "[a-z]+", "c[a-z]*e" } << "xxabcdefgh" << 5 << true;
    QTest::newRow("match of the earlier rule runs past the cap")
        << QStringList { "'[^']*'", "[0-9]" } << "a '1 2 3 4' 5" << 7 << true;
    QTest::newRow("repeated item, empty matches") << QStringList { "a*" } << "baaab a" << 4 << false;
    QTest::newRow("optional item") << QStringList { "x?" } << "axbxxb" << 3 << false;
    QTest::newRow("start anchor") << QStringList { "^ab" } << "abab" << 3 << false;
    QTest::newRow("empty word boundaries") << QStringList { "\\b\\b" } << "ab cd" << 3 << false;
    QTest::newRow("alternation") << QStringList { "ab|abcd" } << "xabcd" << 3 << false;
    QTest::newRow("cap beyond the line") << QStringList { "b+", "\\d" } << "abb1" << 100 << false;
    QTest::newRow("cap at zero") << QStringList { "a" } << "aaa" << 0 << false;
    QTest::newRow("surrogate pairs and empty matches")
        << QStringList { "x?", "\U0001F600+" } << QStringLiteral("\U0001F600x\U0001F600\U0001F600") << 3
        << false;
}

// Every colour within the cap is the colour of the full pass over the whole
// line; nothing is coloured beyond it.
void TestLineMatcher::cappedEqualsTheFullPass()
{
    QFETCH(QStringList, patterns);
    QFETCH(QString, line);
    QFETCH(int, cap);
    QFETCH(bool, cutTextDiffers);

    const QVector<QRegExp> rules = compile(patterns);
    const QString full = fullPass(line, rules);
    const int shown = qMin(cap, line.size());
    const QString expected = full.left(shown) + QString(line.size() - shown, QLatin1Char('.'));
    QCOMPARE(applied(LineMatcher(rules, cap).match(line), line.size()), expected);

    const QString cutText = fullPass(line.left(shown), rules);
    QCOMPARE(cutText != full.left(shown), cutTextDiffers);
}

void TestLineMatcher::matchesComeRuleByRule()
{
    const QVector<QRegExp> rules = compile({ "b", "a" }, Qt::CaseInsensitive);
    const QVector<LineMatch> matches = LineMatcher(rules, 100).match(QStringLiteral("AbaB"));
    const QVector<LineMatch> expected { { 0, 1, 1 }, { 0, 3, 1 }, { 1, 0, 1 }, { 1, 2, 1 } };
    QCOMPARE(matches, expected);
    // The rule's index as given.
    QCOMPARE(LineMatcher::matchRule(QStringLiteral("xbx"), rules.at(0), 7, 100),
        (QVector<LineMatch> { { 7, 1, 1 } }));
}

void TestLineMatcher::searchStopsAtTheFirstMatchPastTheCap()
{
    // One match past the cap ends the search: a line of a million matches
    // is not searched to its end.
    const QString line = QStringLiteral("ab").repeated(500000);
    QRegExp counting(QStringLiteral("b"));
    const QVector<LineMatch> matches = LineMatcher::matchRule(line, counting, 0, 10);
    QCOMPARE(matches.size(), 5);
    QCOMPARE(matches.last().start, 9);
    // Clipped to the cap.
    const QVector<LineMatch> clipped = LineMatcher::matchRule(line, QRegExp(QStringLiteral("a.*")), 0, 10);
    QCOMPARE(clipped, (QVector<LineMatch> { { 0, 0, 10 } }));
}

QTEST_GUILESS_MAIN(TestLineMatcher)
#include "tst_linematcher.moc"
