// The list model over the history and the list view's signal.

#include "popup/inputtablemodel.h"
#include "popup/tableview.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

class TestInputTableModel : public QObject
{
    Q_OBJECT

private:
    static void fill(InputTableModel &model, const QVector<int> &rows)
    {
        model.rowMap() = rows;
        model.setRowCount(rows.size());
    }

private slots:
    void displayText_data();
    void displayText();
    void listText_data();
    void listText();
    void rowsMapIntoHistory();
    void emptyModel();
    void tester();
    void removeRows();
    void appendRows();
    void viewRepublishesCurrentChanges();
    void rowTextLimit();
    void rowsLookTheSameCut_data();
    void rowsLookTheSameCut();
};

void TestInputTableModel::displayText_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "abc"
                           << "abc";
    QTest::newRow("untrimmed") << "  abc  "
                               << "abc";
    QTest::newRow("two lines") << "foo\nbar"
                               << "foo bar";
    QTest::newRow("crlf keeps the cr") << "foo\r\nbar"
                                       << "foo\r bar";
    QTest::newRow("tab and word") << "\tword"
                                  << "word";
    QTest::newRow("inner tabs go") << "a\tb"
                                   << "ab";
    QTest::newRow("trailing line feed") << "text\n"
                                        << "text";
    QTest::newRow("japanese") << "日本語\n二行目"
                              << "日本語 二行目";
}

void TestInputTableModel::displayText()
{
    QFETCH(QString, entry);
    QFETCH(QString, shown);
    QStringList history { QStringLiteral("other"), entry };
    InputTableModel model;
    model.setHistory(&history);
    fill(model, { 1 });
    QCOMPARE(model.data(model.index(0, 0)).toString(), shown);
    QCOMPARE(InputTableModel::displayText(entry), shown);
}

// The list shows a huge entry's start only; below the limit it shows
// exactly the display text, above it the display text's start and "…".
void TestInputTableModel::listText_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("limit");
    const QString blanks = QStringLiteral("\t \n\u3000\r\n");
    QTest::newRow("short") << QStringLiteral("  a\tb\nc  ") << 8;
    QTest::newRow("exactly the limit") << QStringLiteral("\tabcd\n") << 4;
    QTest::newRow("one over") << QStringLiteral("abcde") << 4;
    QTest::newRow("blanks at both ends") << blanks + QStringLiteral("x y") + blanks << 3;
    QTest::newRow("cut inside trailing blanks") << QStringLiteral("abc") + blanks << 5;
    QTest::newRow("only blanks") << blanks << 2;
    QTest::newRow("tabs not counted") << QStringLiteral("a\t\t\tb\t\tc") << 3;
    QTest::newRow("surrogate pair at the cut") << QStringLiteral("ab\U0001F600cd") << 3;
    QString lines;
    for (int i = 0; i < 2000; ++i)
        lines += QStringLiteral("\tline %1\r\n").arg(i);
    QTest::newRow("many lines") << lines << InputTableModel::listTextLimit;
}

void TestInputTableModel::listText()
{
    QFETCH(QString, entry);
    QFETCH(int, limit);
    const QString full = InputTableModel::displayText(entry);
    const QString shown = InputTableModel::listText(entry, limit);
    if (full.size() <= limit) {
        QCOMPARE(shown, full);
    } else {
        QVERIFY(shown.endsWith(QChar(0x2026)));
        const QString start = shown.left(shown.size() - 1);
        QVERIFY(start.size() == limit || (start.size() == limit - 1 && full.at(limit - 1).isHighSurrogate()));
        QVERIFY(full.startsWith(start));
    }
}

void TestInputTableModel::rowsMapIntoHistory()
{
    QStringList history { QStringLiteral("zero"), QStringLiteral("one"), QStringLiteral("two"),
        QStringLiteral("three") };
    InputTableModel model;
    model.setHistory(&history);
    fill(model, { 1, 3 });
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 1);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("one"));
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("three"));
    QCOMPARE(model.position(1), 3);
    QCOMPARE(model.position(2), -1);
    QCOMPARE(model.position(-1), -1);
    // Only the display role carries anything.
    QVERIFY(!model.data(model.index(0, 0), Qt::ToolTipRole).isValid());
    QVERIFY(!model.data(model.index(0, 0), Qt::EditRole).isValid());
    QVERIFY(!model.data(model.index(0, 0), Qt::DecorationRole).isValid());
    // A flat list: no children anywhere.
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    // A map that points past the history never reads outside it.
    history.removeLast();
    QCOMPARE(model.position(1), -1);
    QVERIFY(!model.data(model.index(1, 0)).isValid());
}

void TestInputTableModel::emptyModel()
{
    InputTableModel model;
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.data(model.index(0, 0)).isValid());
    QCOMPARE(model.position(0), -1);
    QVERIFY(model.resetRows());
    QCOMPARE(model.rowCount(), 0);
}

void TestInputTableModel::tester()
{
    QStringList history;
    for (int i = 0; i < 20; ++i)
        history << QStringLiteral("entry %1\nline").arg(i);
    InputTableModel model;
    QAbstractItemModelTester check(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setHistory(&history);

    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    fill(model, { 0, 2, 4, 6 });
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(model.rowCount(), 4);

    // The way the popup rebuilds the list on every keystroke.
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QVERIFY(model.resetRows());
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(model.rowMap().isEmpty());
    QVector<int> all;
    for (int i = 0; i < history.size(); ++i)
        all << i;
    fill(model, all);
    QCOMPARE(model.rowCount(), 20);

    // Setting new rows over shown ones keeps the model consistent too.
    fill(model, { 3, 5 });
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("entry 5 line"));

    model.setRowCount(0);
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(model.rowMap().isEmpty());
    model.setRowCount(0);
    QCOMPARE(model.rowCount(), 0);
}

void TestInputTableModel::removeRows()
{
    QStringList history { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
        QStringLiteral("d") };
    InputTableModel model;
    QAbstractItemModelTester check(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setHistory(&history);
    fill(model, { 0, 1, 2, 3 });

    QVERIFY(!model.removeRows(3, 2));  // past the end: nothing changes
    QCOMPARE(model.rowCount(), 4);
    QVERIFY(!model.removeRows(-1, 1));
    QVERIFY(!model.removeRows(0, 0));

    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QVERIFY(model.removeRows(1, 2));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("a"));
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("d"));
    // The history itself is never changed by the model.
    QCOMPARE(history.size(), 4);
}

// The way a search that runs in slices fills the list: rows come in
// batches after those shown, and a view's current row stays where it was.
void TestInputTableModel::appendRows()
{
    QStringList history;
    for (int i = 0; i < 10; ++i)
        history << QStringLiteral("entry %1").arg(i);
    InputTableModel model;
    QAbstractItemModelTester check(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setHistory(&history);
    TableView view;
    view.setModel(&model);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    model.appendRows({ 1, 4 });
    QCOMPARE(model.rowCount(), 2);
    view.setCurrentIndex(model.index(0, 0));
    model.appendRows({});
    QCOMPARE(inserted.count(), 1);
    model.appendRows({ 5, 8, 9 });
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(inserted.at(1).at(1).toInt(), 2);
    QCOMPARE(inserted.at(1).at(2).toInt(), 4);
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.rowMap(), QVector<int>({ 1, 4, 5, 8, 9 }));
    QCOMPARE(model.data(model.index(4, 0)).toString(), QStringLiteral("entry 9"));
    QCOMPARE(model.position(3), 8);
    QCOMPARE(view.currentIndex().row(), 0);

    // After a reset the rows start again at 0.
    QVERIFY(model.resetRows());
    model.appendRows({ 7 });
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.position(0), 7);
}

void TestInputTableModel::viewRepublishesCurrentChanges()
{
    QStringList history { QStringLiteral("a"), QStringLiteral("b") };
    InputTableModel model;
    model.setHistory(&history);
    fill(model, { 0, 1 });
    TableView view;
    view.setModel(&model);
    QSignalSpy spy(&view, &TableView::CurrentChanged);
    view.setCurrentIndex(model.index(1, 0));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toModelIndex(), model.index(1, 0));
    QVERIFY(!spy.at(0).at(1).toModelIndex().isValid());
    view.setCurrentIndex(model.index(0, 0));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(1).toModelIndex(), model.index(1, 0));
}

void TestInputTableModel::rowTextLimit()
{
    const QString longEntry = QString(3000, QLatin1Char('x'));
    QStringList history { longEntry, QStringLiteral("short") };
    InputTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setHistory(&history);
    fill(model, { 0, 1 });
    QCOMPARE(model.data(model.index(0, 0)).toString().size(), InputTableModel::listTextLimit + 1);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setRowTextLimit(40);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(0, 0));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), model.index(1, 0));
    QCOMPARE(model.data(model.index(0, 0)).toString(), QString(40, QLatin1Char('x')) + QChar(0x2026));
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("short"));
    model.setRowTextLimit(40);
    QCOMPARE(changed.count(), 1);
    // Never more than the fixed cap, never nothing.
    model.setRowTextLimit(1 << 20);
    QCOMPARE(model.rowTextLimit(), InputTableModel::listTextLimit);
    model.setRowTextLimit(0);
    QCOMPARE(model.rowTextLimit(), 1);
}

void TestInputTableModel::rowsLookTheSameCut_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("narrowest characters") << QString(3000, QLatin1Char('i'));
    QTest::newRow("blanks") << QString(3000, QLatin1Char(' ')) + QLatin1Char('x');
    QTest::newRow("code") << QStringLiteral("int main() { return 0; }\n").repeated(200);
    QTest::newRow("wide characters") << QStringLiteral("日本語のテキスト").repeated(300);
}

// The row text the view gets is cut to what its width can show: elided to
// the column, it looks as the whole text would.
void TestInputTableModel::rowsLookTheSameCut()
{
    QFETCH(QString, entry);
    QStringList history { entry };
    InputTableModel model;
    model.setHistory(&history);
    fill(model, { 0 });
    TableView view;
    view.setModel(&model);
    for (const int width : { 120, 400, 1200 }) {
        view.resize(width, 200);
        model.setRowTextLimit(view.visibleCharacters());
        const QFontMetrics metrics(view.font());
        const int column = view.viewport()->width();
        const QString cut = model.data(model.index(0, 0)).toString();
        QVERIFY(cut.size() < InputTableModel::listTextLimit);
        QCOMPARE(metrics.elidedText(cut, Qt::ElideRight, column),
            metrics.elidedText(InputTableModel::listText(entry), Qt::ElideRight, column));
    }
}

QTEST_MAIN(TestInputTableModel)
#include "tst_inputtablemodel.moc"
