// The sliced history search: once it has run to its end its result is the
// plain search's, whatever came before it; a huge entry is searched in
// steps; and narrowing searches only the entries that can still match.

#include "popup/listfilter.h"

#include <QTest>

Q_DECLARE_METATYPE(Qt::CaseSensitivity)

namespace {

// One search of a test sequence; `settle` lets it run to its end before
// the next one starts (else the next one starts after its first slice).
struct Step
{
    QString needle;
    Qt::CaseSensitivity mode;
    bool settle;
};

}  // namespace

Q_DECLARE_METATYPE(QVector<Step>)

class TestListFilter : public QObject
{
    Q_OBJECT

private:
    // What the popup's plain algorithm lists.
    static QVector<int> plain(const QStringList &history, const QString &needle, Qt::CaseSensitivity mode)
    {
        QVector<int> rows;
        for (int i = 0; i < history.size(); ++i) {
            if (history.at(i).indexOf(needle, 0, mode) >= 0)
                rows.append(i);
        }
        return rows;
    }
    // Runs the search to its end one slice at a time; returns the slices.
    static int slicesToEnd(ListFilter &filter)
    {
        int slices = 0;
        while (filter.isRunning() && slices < 1000000) {
            filter.runSlice();
            ++slices;
        }
        return slices;
    }
    // A huge entry of `length` units with `needle` at `at` (none if -1).
    static QString huge(int length, const QString &needle, int at)
    {
        QString entry(length, QLatin1Char('x'));
        if (at >= 0)
            entry.replace(at, needle.size(), needle);
        return entry;
    }

private slots:
    void sequenceEqualsPlain_data();
    void sequenceEqualsPlain();
    void hugeEntryIsSearchedInSteps_data();
    void hugeEntryIsSearchedInSteps();
    void narrowingSearchesOnlyWhatCanMatch();
    void changedHistoryStartsAfresh();
    void stopEndsTheSearch();
    void searchStartedFromItsReportEndsTheOldOne();
    void emptyHistory();
};

void TestListFilter::sequenceEqualsPlain_data()
{
    QTest::addColumn<int>("budget");
    QTest::addColumn<QVector<Step>>("steps");
    const auto ci = Qt::CaseInsensitive;
    const auto cs = Qt::CaseSensitive;
    const QVector<Step> typing = { { "n", ci, true }, { "ne", ci, true }, { "nee", ci, true },
        { "need", ci, true }, { "needl", ci, true }, { "needle", ci, true } };
    const QVector<Step> fastTyping = { { "n", ci, false }, { "ne", ci, false }, { "nee", ci, false },
        { "needl", ci, false }, { "needle", ci, true } };
    const QVector<Step> backspace
        = { { "needle", ci, true }, { "needl", ci, true }, { "nee", ci, true }, { "n", ci, true } };
    const QVector<Step> caseToggles = { { "Needle", ci, true }, { "Needle", cs, true },
        { "Needle", ci, true }, { "Needle", cs, false }, { "Needle", ci, true } };
    const QVector<Step> caretMoves = { { "alpha", ci, true }, { "al", ci, true }, { "alx", ci, true },
        { "al", cs, true }, { "alp", cs, false }, { "alpha", ci, true } };
    const QVector<Step> specials = { { "k", ci, true }, { "kel", ci, true }, { "\u03C3", ci, true },
        { "\u03C3\u03C2", ci, true }, { QString::fromUcs4(U"\U00010428"), ci, true },
        { QString::fromUcs4(U"x\U00010428"), ci, true }, { QStringLiteral("x") + QChar(0xD801), ci, true },
        { QString(QChar(0xDC00)), ci, true }, { QString(QChar(0xDC00)) + QStringLiteral("y"), ci, true },
        { QString(QChar(0xDC00)) + QStringLiteral("y"), cs, true } };
    for (const int budget : { 0, ListFilter::sliceBudgetMs }) {
        QTest::addRow("typing, budget %d", budget) << budget << typing;
        QTest::addRow("typing faster than the search, budget %d", budget) << budget << fastTyping;
        QTest::addRow("backspace, budget %d", budget) << budget << backspace;
        QTest::addRow("case box, budget %d", budget) << budget << caseToggles;
        QTest::addRow("caret moved, budget %d", budget) << budget << caretMoves;
        QTest::addRow("case folding and pairs, budget %d", budget) << budget << specials;
    }
}

void TestListFilter::sequenceEqualsPlain()
{
    QFETCH(int, budget);
    QFETCH(QVector<Step>, steps);
    const int step = ListFilter::unitsPerStep / 6;  // how far a step reaches for "needle"
    const QStringList history = {
        QStringLiteral("alpha needle"),
        QStringLiteral("Beta"),
        huge(3 * step, QStringLiteral("neeDLE"), step - 3),  // across a step's end
        QStringLiteral("gamma ALPHA"),
        QStringLiteral("\u212Aelvin"),
        huge(2 * step + 6, QStringLiteral("needle"), 2 * step),  // alone in the last step
        QStringLiteral("\u03A3\u03AF\u03C3\u03C5\u03C6\u03BF\u03C2 \u03A3\u03A3"),
        QString::fromUcs4(U"x\U00010400y and x\U00010428"),
        huge(step + 1, QString(), -1),
        QStringLiteral("NEEDLE"),
        QString(QChar(0xDC00)) + QStringLiteral("y lone half"),
    };
    ListFilter filter;
    filter.setSliceBudget(budget);
    QVector<int> reported;
    int finishedCount = 0;
    connect(
        &filter, &ListFilter::matched, this, [&](const QVector<int> &positions) { reported += positions; });
    connect(&filter, &ListFilter::finished, this, [&]() { ++finishedCount; });

    for (const Step &s : steps) {
        reported.clear();
        finishedCount = 0;
        filter.start(history, s.needle, s.mode);
        if (!s.settle) {
            filter.runSlice();
            continue;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!filter.isRunning(), 20000);
        const QVector<int> expected = plain(history, s.needle, s.mode);
        QCOMPARE(filter.matches(), expected);
        QCOMPARE(reported, expected);
        QCOMPARE(finishedCount, 1);
    }
}

void TestListFilter::hugeEntryIsSearchedInSteps_data()
{
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("at");
    QTest::newRow("absent") << "needle" << -1;
    QTest::newRow("at the end") << "needle" << 16 * 1024 * 1024 - 6;
    QTest::newRow("one unit, absent") << "y" << -1;
    QTest::newRow("long needle, absent") << QString(5000, QLatin1Char('x')) + QLatin1Char('y') << -1;
}

// However big an entry, no step searches more than its share of it: a
// 16 Mi-unit entry takes as many steps as pieces of that share.
void TestListFilter::hugeEntryIsSearchedInSteps()
{
    QFETCH(QString, needle);
    QFETCH(int, at);
    const int length = 16 * 1024 * 1024;
    const QStringList history = { huge(length, needle, at) };
    const int starts = length - needle.size() + 1;
    const int piece = qMax(16, ListFilter::unitsPerStep / needle.size());
    const int pieces = (starts + piece - 1) / piece;
    ListFilter filter;
    filter.setSliceBudget(0);
    filter.start(history, needle, Qt::CaseInsensitive);
    QCOMPARE(slicesToEnd(filter), pieces);
    QCOMPARE(filter.matches(), at >= 0 ? QVector<int> { 0 } : QVector<int>());
}

void TestListFilter::narrowingSearchesOnlyWhatCanMatch()
{
    QStringList history;
    for (int i = 0; i < 50; ++i)
        history.append(i % 5 == 0 ? QStringLiteral("abc %1").arg(i) : QStringLiteral("a %1").arg(i));
    const int withA = 50;
    const int withAb = 10;
    ListFilter filter;
    filter.setSliceBudget(0);  // one entry per slice: slices count the entries searched

    filter.start(history, QStringLiteral("a"), Qt::CaseInsensitive);
    QCOMPARE(slicesToEnd(filter), withA);
    filter.start(history, QStringLiteral("ab"), Qt::CaseInsensitive);
    QCOMPARE(slicesToEnd(filter), withA);
    filter.start(history, QStringLiteral("abc"), Qt::CaseInsensitive);
    QCOMPARE(slicesToEnd(filter), withAb);
    QCOMPARE(filter.matches().size(), withAb);

    // Known searches answer in one slice that searches nothing.
    QVector<int> reported;
    connect(
        &filter, &ListFilter::matched, this, [&](const QVector<int> &positions) { reported += positions; });
    filter.start(history, QStringLiteral("a"), Qt::CaseInsensitive);
    QCOMPARE(slicesToEnd(filter), 1);
    QCOMPARE(reported.size(), withA);

    // The case kept: only what matched with the case ignored.
    filter.start(history, QStringLiteral("abc"), Qt::CaseSensitive);
    QCOMPARE(slicesToEnd(filter), withAb);
    QCOMPARE(filter.matches().size(), withAb);

    // A search still running narrows too: what it found so far and what it
    // has yet to search.
    filter.start(history, QStringLiteral("a 1"), Qt::CaseInsensitive);
    for (int i = 0; i < 20; ++i)
        filter.runSlice();
    const int foundSoFar = filter.matches().size();
    filter.start(history, QStringLiteral("a 12"), Qt::CaseInsensitive);
    QCOMPARE(slicesToEnd(filter), foundSoFar + 30);
    QCOMPARE(filter.matches(), plain(history, QStringLiteral("a 12"), Qt::CaseInsensitive));
}

void TestListFilter::changedHistoryStartsAfresh()
{
    QStringList history = { QStringLiteral("x1"), QStringLiteral("y") };
    ListFilter filter;
    filter.start(history, QStringLiteral("x"), Qt::CaseInsensitive);
    slicesToEnd(filter);
    QCOMPARE(filter.matches(), QVector<int> { 0 });

    // A capture puts a new entry first: the old answer would be one off.
    history.prepend(QStringLiteral("x0"));
    filter.start(history, QStringLiteral("x"), Qt::CaseInsensitive);
    slicesToEnd(filter);
    QCOMPARE(filter.matches(), QVector<int>({ 0, 1 }));
    filter.start(history, QStringLiteral("x1"), Qt::CaseInsensitive);
    slicesToEnd(filter);
    QCOMPARE(filter.matches(), QVector<int> { 1 });

    // A deletion, while a search runs.
    filter.setSliceBudget(0);
    filter.start(history, QStringLiteral("x"), Qt::CaseSensitive);
    filter.runSlice();
    QVERIFY(filter.isRunning());
    history.removeFirst();
    filter.start(history, QStringLiteral("x1"), Qt::CaseSensitive);
    slicesToEnd(filter);
    QCOMPARE(filter.matches(), QVector<int> { 0 });
}

void TestListFilter::stopEndsTheSearch()
{
    QStringList history;
    for (int i = 0; i < 20; ++i)
        history.append(QStringLiteral("entry %1").arg(i));
    ListFilter filter;
    filter.setSliceBudget(0);
    int reports = 0;
    connect(&filter, &ListFilter::matched, this, [&]() { ++reports; });
    connect(&filter, &ListFilter::finished, this, [&]() { ++reports; });
    filter.start(history, QStringLiteral("entry"), Qt::CaseInsensitive);
    filter.runSlice();
    QCOMPARE(reports, 1);
    filter.stop(history);
    QVERIFY(!filter.isRunning());
    QVERIFY(filter.matches().isEmpty());
    QTest::qWait(20);
    filter.runSlice();
    QCOMPARE(reports, 1);

    // An unfinished search left nothing behind to answer from.
    filter.start(history, QStringLiteral("entry"), Qt::CaseInsensitive);
    QCOMPARE(slicesToEnd(filter), history.size());
}

void TestListFilter::searchStartedFromItsReportEndsTheOldOne()
{
    const QStringList history = { QStringLiteral("ab"), QStringLiteral("abc"), QStringLiteral("b") };
    ListFilter filter;
    QStringList finishedWith;
    bool restarted = false;
    connect(&filter, &ListFilter::matched, this, [&]() {
        if (!restarted) {
            restarted = true;
            filter.start(history, QStringLiteral("b"), Qt::CaseInsensitive);
        }
    });
    connect(&filter, &ListFilter::finished, this, [&]() { finishedWith.append(QStringLiteral("end")); });
    filter.start(history, QStringLiteral("abc"), Qt::CaseInsensitive);
    filter.runSlice();
    QVERIFY(restarted);
    QVERIFY(finishedWith.isEmpty());
    QTRY_VERIFY(!filter.isRunning());
    QCOMPARE(finishedWith.size(), 1);
    QCOMPARE(filter.matches(), QVector<int>({ 0, 1, 2 }));
}

void TestListFilter::emptyHistory()
{
    ListFilter filter;
    int finishedCount = 0;
    connect(&filter, &ListFilter::finished, this, [&]() { ++finishedCount; });
    filter.start(QStringList(), QStringLiteral("a"), Qt::CaseInsensitive);
    QVERIFY(filter.isRunning());
    filter.runSlice();
    QVERIFY(!filter.isRunning());
    QVERIFY(filter.matches().isEmpty());
    QCOMPARE(finishedCount, 1);
}

QTEST_MAIN(TestListFilter)
#include "tst_listfilter.moc"
