// A run of change notices becomes one call once the event loop is free.

#include "popup/changecoalescer.h"

#include <QSignalSpy>
#include <QTest>

class TestChangeCoalescer : public QObject
{
    Q_OBJECT

private slots:
    void runOfNoticesSettlesOnce_data();
    void runOfNoticesSettlesOnce();
    void noticeWhileSettlingIsNotLost();
    void otherEventsGetTheirTurnFirst();
};

void TestChangeCoalescer::runOfNoticesSettlesOnce_data()
{
    QTest::addColumn<int>("notices");
    QTest::newRow("one") << 1;
    QTest::newRow("two") << 2;
    QTest::newRow("ten thousand") << 10000;
}

void TestChangeCoalescer::runOfNoticesSettlesOnce()
{
    QFETCH(int, notices);
    ChangeCoalescer coalescer;
    QSignalSpy settled(&coalescer, &ChangeCoalescer::settled);
    QVERIFY(!coalescer.isPending());
    for (int i = 0; i < notices; ++i)
        coalescer.notify();
    QVERIFY(coalescer.isPending());
    QCOMPARE(settled.count(), 0);
    QTRY_COMPARE(settled.count(), 1);
    QVERIFY(!coalescer.isPending());
    // Nothing more follows on its own.
    QTest::qWait(20);
    QCOMPARE(settled.count(), 1);
}

void TestChangeCoalescer::noticeWhileSettlingIsNotLost()
{
    // A change that arrives while the last one is being handled is taken
    // on the next turn.
    ChangeCoalescer coalescer;
    int calls = 0;
    connect(&coalescer, &ChangeCoalescer::settled, this, [&] {
        if (++calls == 1)
            coalescer.notify();
    });
    coalescer.notify();
    QTRY_COMPARE(calls, 2);
    QTest::qWait(20);
    QCOMPARE(calls, 2);
}

void TestChangeCoalescer::otherEventsGetTheirTurnFirst()
{
    // Work queued before the notices (a key press, say) is not kept
    // waiting behind them.
    ChangeCoalescer coalescer;
    QStringList order;
    connect(&coalescer, &ChangeCoalescer::settled, this, [&] { order << QStringLiteral("settled"); });
    QMetaObject::invokeMethod(
        this, [&] { order << QStringLiteral("queued"); }, Qt::QueuedConnection);
    for (int i = 0; i < 100; ++i)
        coalescer.notify();
    QTRY_COMPARE(order.size(), 2);
    QCOMPARE(order, (QStringList { QStringLiteral("queued"), QStringLiteral("settled") }));
}

QTEST_MAIN(TestChangeCoalescer)
#include "tst_changecoalescer.moc"
