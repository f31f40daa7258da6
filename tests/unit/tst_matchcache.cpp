// The filter's memory of finished searches: exact answers, and the
// smallest earlier result that holds every match of a new search.

#include "popup/matchcache.h"

#include <QTest>

Q_DECLARE_METATYPE(Qt::CaseSensitivity)

class TestMatchCache : public QObject
{
    Q_OBJECT

private slots:
    void findsOnlyTheSameSearch();
    void narrowest_data();
    void narrowest();
    void keepsTheNewestResults();
    void covers_data();
    void covers();
    void coversHoldsForQtsVerdicts_data();
    void coversHoldsForQtsVerdicts();
};

void TestMatchCache::findsOnlyTheSameSearch()
{
    MatchCache cache;
    QVector<int> matches;
    QVERIFY(!cache.find(QStringLiteral("ab"), Qt::CaseInsensitive, &matches));
    cache.store(QStringLiteral("ab"), Qt::CaseInsensitive, { 1, 4 });
    QVERIFY(cache.find(QStringLiteral("ab"), Qt::CaseInsensitive, &matches));
    QCOMPARE(matches, QVector<int>({ 1, 4 }));
    QVERIFY(!cache.find(QStringLiteral("ab"), Qt::CaseSensitive, &matches));
    QVERIFY(!cache.find(QStringLiteral("AB"), Qt::CaseInsensitive, &matches));
    QVERIFY(!cache.find(QStringLiteral("a"), Qt::CaseInsensitive, &matches));

    // Storing the same search again replaces its result.
    cache.store(QStringLiteral("ab"), Qt::CaseInsensitive, { 4 });
    QVERIFY(cache.find(QStringLiteral("ab"), Qt::CaseInsensitive, &matches));
    QCOMPARE(matches, QVector<int>({ 4 }));

    cache.clear();
    QVERIFY(!cache.find(QStringLiteral("ab"), Qt::CaseInsensitive, &matches));
}

void TestMatchCache::narrowest_data()
{
    QTest::addColumn<QString>("needle");
    QTest::addColumn<Qt::CaseSensitivity>("mode");
    QTest::addColumn<bool>("known");
    QTest::addColumn<QVector<int>>("superset");
    QTest::newRow("longer needle") << "abc" << Qt::CaseInsensitive << true << QVector<int> { 1, 2 };
    QTest::newRow("case kept: smallest of both modes")
        << "abc" << Qt::CaseSensitive << true << QVector<int> { 2 };
    QTest::newRow("same needle, case kept")
        << "a" << Qt::CaseSensitive << true << QVector<int> { 0, 1, 2, 3 };
    QTest::newRow("not a continuation") << "b" << Qt::CaseInsensitive << false << QVector<int>();
    QTest::newRow("other case of the start") << "Ab" << Qt::CaseSensitive << false << QVector<int>();
    QTest::newRow("case ignored is not narrowed by case kept")
        << "xyz" << Qt::CaseInsensitive << false << QVector<int>();
}

void TestMatchCache::narrowest()
{
    QFETCH(QString, needle);
    QFETCH(Qt::CaseSensitivity, mode);
    QFETCH(bool, known);
    QFETCH(QVector<int>, superset);
    MatchCache cache;
    cache.store(QStringLiteral("a"), Qt::CaseInsensitive, { 0, 1, 2, 3 });
    cache.store(QStringLiteral("ab"), Qt::CaseInsensitive, { 1, 2 });
    cache.store(QStringLiteral("ab"), Qt::CaseSensitive, { 2 });
    cache.store(QStringLiteral("xy"), Qt::CaseSensitive, {});
    QVector<int> found;
    QCOMPARE(cache.narrowest(needle, mode, &found), known);
    if (known)
        QCOMPARE(found, superset);
}

void TestMatchCache::keepsTheNewestResults()
{
    MatchCache cache;
    for (int i = 0; i <= MatchCache::maxResults; ++i)
        cache.store(QString::number(i), Qt::CaseSensitive, { i });
    QVector<int> matches;
    QVERIFY(!cache.find(QStringLiteral("0"), Qt::CaseSensitive, &matches));
    QVERIFY(cache.find(QStringLiteral("1"), Qt::CaseSensitive, &matches));
    QVERIFY(cache.find(QString::number(MatchCache::maxResults), Qt::CaseSensitive, &matches));
}

void TestMatchCache::covers_data()
{
    QTest::addColumn<QString>("coarse");
    QTest::addColumn<Qt::CaseSensitivity>("coarseMode");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<Qt::CaseSensitivity>("mode");
    QTest::addColumn<bool>("covered");
    const QString lowFirst = QString(QChar(0xDC00)) + QStringLiteral("bc");
    const QString pairCut = QStringLiteral("x") + QChar(0xD801);
    const QString pair = pairCut + QChar(0xDC00);
    QTest::newRow("start, same mode") << "ab" << Qt::CaseInsensitive << "abc" << Qt::CaseInsensitive << true;
    QTest::newRow("whole, case ignored for kept")
        << "abc" << Qt::CaseInsensitive << "abc" << Qt::CaseSensitive << true;
    QTest::newRow("case kept for ignored")
        << "abc" << Qt::CaseSensitive << "abc" << Qt::CaseInsensitive << false;
    QTest::newRow("end is no start") << "bc" << Qt::CaseInsensitive << "abc" << Qt::CaseInsensitive << false;
    QTest::newRow("longer is no start")
        << "abcd" << Qt::CaseInsensitive << "abc" << Qt::CaseInsensitive << false;
    QTest::newRow("start cut inside a pair")
        << pairCut << Qt::CaseInsensitive << pair << Qt::CaseInsensitive << true;
    QTest::newRow("low surrogate first, case kept")
        << lowFirst.left(2) << Qt::CaseSensitive << lowFirst << Qt::CaseSensitive << true;
    QTest::newRow("low surrogate first, case ignored")
        << lowFirst.left(2) << Qt::CaseInsensitive << lowFirst << Qt::CaseInsensitive << false;
    QTest::newRow("low surrogate first, ignored for kept")
        << lowFirst << Qt::CaseInsensitive << lowFirst << Qt::CaseSensitive << false;
}

void TestMatchCache::covers()
{
    QFETCH(QString, coarse);
    QFETCH(Qt::CaseSensitivity, coarseMode);
    QFETCH(QString, needle);
    QFETCH(Qt::CaseSensitivity, mode);
    QFETCH(bool, covered);
    QCOMPARE(MatchCache::covers(coarse, coarseMode, needle, mode), covered);
}

void TestMatchCache::coversHoldsForQtsVerdicts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("needle");
    const QString tail = QString(70, QLatin1Char('t'));
    auto pairOf = [](uint code) { return QString::fromUcs4(&code, 1); };
    QTest::newRow("deseret, folded") << QStringLiteral("x") + pairOf(0x10400) + QStringLiteral("yz")
                                     << QStringLiteral("X") + pairOf(0x10428) + QStringLiteral("Yz");
    QTest::newRow("half pair then fold") << QStringLiteral("x") + pairOf(0x10400) + QStringLiteral("y")
                                         << QString(QChar(0xDC00)) + QStringLiteral("y");
    QTest::newRow("low surrogate first, long needle")
        << QStringLiteral("x") + pairOf(0x10400) + tail << QString(QChar(0xDC00)) + tail;
    QTest::newRow("kelvin") << QStringLiteral("\u212Aelvin") << QStringLiteral("kelvin");
    QTest::newRow("sigma") << QStringLiteral("\u03A3\u03C3\u03C2") << QStringLiteral("\u03C3\u03C3\u03A3");
}

// Wherever covers() says so, a text that Qt finds the needle in also holds
// the coarse needle by Qt's verdict, for every start and both modes.
void TestMatchCache::coversHoldsForQtsVerdicts()
{
    QFETCH(QString, text);
    QFETCH(QString, needle);
    const auto modes = { Qt::CaseSensitive, Qt::CaseInsensitive };
    int checked = 0;
    for (int length = 1; length <= needle.size(); ++length) {
        const QString coarse = needle.left(length);
        for (const Qt::CaseSensitivity coarseMode : modes) {
            for (const Qt::CaseSensitivity mode : modes) {
                if (!MatchCache::covers(coarse, coarseMode, needle, mode)
                    || text.indexOf(needle, 0, mode) < 0)
                    continue;
                ++checked;
                QVERIFY2(text.indexOf(coarse, 0, coarseMode) >= 0, qPrintable(QString::number(length)));
            }
        }
    }
    QVERIFY(checked > 0);
}

QTEST_APPLESS_MAIN(TestMatchCache)
#include "tst_matchcache.moc"
