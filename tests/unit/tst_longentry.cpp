// An entry of one long line in the popup: the preview shows it in pieces,
// the paste still takes the whole entry, and the filter colours what is in
// view at once.

#include "popupfixture.h"

#include "popup/inputdialog.h"
#include "popup/lineedit.h"
#include "popup/tableview.h"
#include "preview/highlighter.h"
#include "preview/linepiece.h"
#include "preview/textedit.h"

#include <QClipboard>
#include <QTest>

class TestLongEntry : public QObject
{
    Q_OBJECT

private slots:
    void pasteTakesTheWholeEntry_data();
    void pasteTakesTheWholeEntry();
    void filterKeyColoursTheViewAtOnce();

private:
    static QString longLine(int length)
    {
        QString line;
        for (int i = 0; line.size() < length; ++i)
            line += QStringLiteral("{\"id\":%1,\"tag\":\"x%1\"},").arg(i);
        line.truncate(length);
        return line;
    }
};

void TestLongEntry::pasteTakesTheWholeEntry_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("one long line") << longLine(200000);
    QTest::newRow("long lines with CR LF")
        << (longLine(30000) + QStringLiteral("\r\nnext\r\n") + longLine(9000));
}

void TestLongEntry::pasteTakesTheWholeEntry()
{
    QFETCH(QString, entry);
    PopupFixture fixture;
    PopupFixture::resetSettings({ QStringLiteral("first"), entry, QStringLiteral("third") });
    InputDialog dialog;
    dialog.show();
    auto *lineEdit = dialog.findChild<LineEdit *>(QStringLiteral("lineEdit"));
    auto *table = dialog.findChild<TableView *>(QStringLiteral("tableView"));
    auto *preview = dialog.findChild<TextEdit *>(QStringLiteral("plainTextEdit"));
    QTest::keyClick(lineEdit, Qt::Key_Down);
    QTRY_COMPARE(table->currentIndex().row(), 1);
    QTRY_VERIFY(!preview->isLoading());

    // Shown in pieces, which join to the entry.
    int pieces = 0;
    for (QTextBlock block = preview->document()->begin(); block.isValid(); block = block.next()) {
        const LinePiece *piece = LinePiece::of(block);
        pieces += piece && piece->continued;
    }
    QVERIFY(pieces > 3);
    QCOMPARE(preview->joinedText(), QString(entry).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    QTest::keyClick(lineEdit, Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(QGuiApplication::clipboard()->text(), entry);
}

// A key press that keeps the entry in the preview colours its lines in view
// before it returns; the rest follows.
void TestLongEntry::filterKeyColoursTheViewAtOnce()
{
    PopupFixture fixture;
    QStringList lines;
    for (int i = 0; i < 250; ++i)
        lines << QStringLiteral("line %1 says hello").arg(i);
    PopupFixture::resetSettings({ lines.join(QLatin1Char('\n')), QStringLiteral("other") });
    Settings::instance()->findcolor = QColor(1, 2, 3);
    InputDialog dialog;
    dialog.show();
    auto *lineEdit = dialog.findChild<LineEdit *>(QStringLiteral("lineEdit"));
    auto *preview = dialog.findChild<TextEdit *>(QStringLiteral("plainTextEdit"));
    // Time enough for the view even in a slow build on a busy machine.
    preview->highlighter->setWorkBudget(1000);
    QTRY_VERIFY(preview->isViewColoured());
    QTRY_COMPARE(preview->highlighter->pendingLines(), 0);

    QTest::keyClick(lineEdit, Qt::Key_H);
    QVERIFY(preview->isViewColoured());
    QVERIFY(preview->highlighter->pendingLines() > 0);
    const QTextBlock top = preview->topBlock();
    bool found = false;
    for (const QTextLayout::FormatRange &range : top.layout()->formats())
        found = found || (range.start == 12 && range.format.foreground().color() == QColor(1, 2, 3));
    QVERIFY(found);
    QTRY_COMPARE(preview->highlighter->pendingLines(), 0);
}

QTEST_MAIN(TestLongEntry)
#include "tst_longentry.moc"
