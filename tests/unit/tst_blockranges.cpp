#include <QtTest>

#include <set>

#include "preview/blockranges.h"

namespace {
// The same set kept number by number, to check the ranges against.
struct Reference
{
    std::set<int> numbers;
    void insert(int from, int to)
    {
        for (int n = from; n < to; ++n)
            numbers.insert(n);
    }
    void remove(int from, int to)
    {
        for (int n = from; n < to; ++n)
            numbers.erase(n);
    }
};

QString describe(const BlockRanges &ranges)
{
    QStringList parts;
    for (const auto &span : ranges.ranges())
        parts << QStringLiteral("[%1,%2)").arg(span.first).arg(span.second);
    return parts.join(QLatin1Char(' '));
}

void compare(const BlockRanges &ranges, const Reference &reference, int limit)
{
    QCOMPARE(ranges.count(), int(reference.numbers.size()));
    QCOMPARE(ranges.isEmpty(), reference.numbers.empty());
    QCOMPARE(ranges.first(), reference.numbers.empty() ? -1 : *reference.numbers.begin());
    for (int n = -2; n < limit + 2; ++n) {
        if (ranges.contains(n) != (reference.numbers.count(n) > 0))
            QFAIL(qPrintable(QStringLiteral("%1 in %2").arg(n).arg(describe(ranges))));
    }
    // Kept sorted, disjoint and not touching: each run of numbers is one range.
    int previousEnd = std::numeric_limits<int>::min();
    for (const auto &span : ranges.ranges()) {
        QVERIFY(span.first < span.second);
        QVERIFY2(span.first > previousEnd, qPrintable(describe(ranges)));
        previousEnd = span.second;
    }
}
}  // namespace

class TestBlockRanges : public QObject
{
    Q_OBJECT

private slots:
    void scripted_data();
    void scripted();
    void randomAgainstReference_data();
    void randomAgainstReference();
    void wholeDocumentAtOnce();
};

void TestBlockRanges::scripted_data()
{
    // Operations as "+from,to" (insert) and "-from,to" (remove).
    QTest::addColumn<QStringList>("operations");
    QTest::addColumn<QString>("ranges");

    QTest::newRow("single numbers merge") << QStringList { "+3,4", "+5,6", "+4,5" } << "[3,6)";
    QTest::newRow("touching ranges merge") << QStringList { "+0,5", "+5,9" } << "[0,9)";
    QTest::newRow("overlap spans several") << QStringList { "+0,2", "+4,6", "+8,10", "+1,9" } << "[0,10)";
    QTest::newRow("remove splits") << QStringList { "+0,10", "-4,6" } << "[0,4) [6,10)";
    QTest::newRow("remove edges") << QStringList { "+0,10", "-0,2", "-8,10" } << "[2,8)";
    QTest::newRow("remove across ranges")
        << QStringList { "+0,3", "+5,8", "+10,13", "-2,11" } << "[0,2) [11,13)";
    QTest::newRow("remove beyond all") << QStringList { "+0,3", "+5,8", "-6,2147483647" } << "[0,3) [5,6)";
    QTest::newRow("remove what is not there") << QStringList { "+5,8", "-0,5", "-8,20" } << "[5,8)";
    QTest::newRow("empty ranges do nothing") << QStringList { "+5,5", "+7,6", "-0,0" } << "";
}

void TestBlockRanges::scripted()
{
    QFETCH(QStringList, operations);
    QFETCH(QString, ranges);
    BlockRanges set;
    for (const QString &operation : operations) {
        const QStringList bounds = operation.mid(1).split(QLatin1Char(','));
        const int from = bounds.at(0).toInt();
        const int to = bounds.at(1).toInt();
        if (operation.startsWith(QLatin1Char('+')))
            set.insert(from, to);
        else
            set.remove(from, to);
    }
    QCOMPARE(describe(set), ranges);
}

void TestBlockRanges::randomAgainstReference_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("span");
    QTest::newRow("dense") << 1u << 40;
    QTest::newRow("sparse") << 7u << 120;
    QTest::newRow("single numbers") << 12u << 1;
}

void TestBlockRanges::randomAgainstReference()
{
    QFETCH(quint32, seed);
    QFETCH(int, span);
    const int limit = 300;
    QRandomGenerator random(seed);
    BlockRanges set;
    Reference reference;
    for (int step = 0; step < 300; ++step) {
        const int from = random.bounded(limit);
        const int to = qMin(limit, from + 1 + random.bounded(span));
        switch (random.bounded(4)) {
        case 0:
            set.insert(from);
            reference.insert(from, from + 1);
            break;
        case 1:
            set.remove(from);
            reference.remove(from, from + 1);
            break;
        case 2:
            set.insert(from, to);
            reference.insert(from, to);
            break;
        default:
            set.remove(from, to);
            reference.remove(from, to);
            break;
        }
        compare(set, reference, limit);
        if (QTest::currentTestFailed())
            return;
    }
}

void TestBlockRanges::wholeDocumentAtOnce()
{
    // Marking millions of lines is one range.
    BlockRanges set;
    set.insert(0, 16 * 1024 * 1024);
    QCOMPARE(set.ranges().size(), 1);
    QCOMPARE(set.count(), 16 * 1024 * 1024);
    set.remove(100, 120);
    QCOMPARE(set.ranges().size(), 2);
    QVERIFY(!set.contains(110));
    QVERIFY(set.contains(16 * 1024 * 1024 - 1));
    set.clear();
    QVERIFY(set.isEmpty());
    QCOMPARE(set.first(), -1);
}

QTEST_GUILESS_MAIN(TestBlockRanges)
#include "tst_blockranges.moc"
