// The popup window: its form, key routing, filtering, preview, zoom,
// closing, dragging, placement and the deletion of an entry.

#include "popupfixture.h"

#include "background/savequeue.h"
#include "settings/savefailure.h"
#include "popup/inputdialog.h"
#include "popup/inputtablemodel.h"
#include "popup/lineedit.h"
#include "popup/listfilter.h"
#include "popup/tableview.h"
#include "preview/highlighter.h"
#include "preview/textedit.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

// Records the key presses that get past the popup's own filter.
class KeySpy : public QObject
{
public:
    QList<QPair<int, Qt::KeyboardModifiers>> keys;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            const int code = key->key();
            if (code == Qt::Key_Shift || code == Qt::Key_Control || code == Qt::Key_Alt)
                return false;
            keys.append(qMakePair(key->key(), key->modifiers()));
        }
        return false;
    }
};

const QStringList sampleHistory = {
    QStringLiteral("xabc"),
    QStringLiteral("ABC only"),
    QStringLiteral("a.c literal"),
    QStringLiteral("aXc"),
    QStringLiteral("foo\nbar"),
    QStringLiteral("\tword"),
    QStringLiteral("日本語のテキスト"),
};

// A history for searches that run in slices: case folds, pairs, many
// entries to search, and, last, a huge one whose match crosses a step of
// the search (every search that finds it finds a smaller entry first).
QStringList slicedHistory()
{
    QStringList history = {
        QStringLiteral("alpha needle"),
        QStringLiteral("Beta"),
        QStringLiteral("gamma ALPHA"),
        QStringLiteral("\u212Aelvin"),
        QStringLiteral("\u03C3\u03AF\u03C3\u03C5\u03C6\u03BF\u03C2 \u03A3\u03A3"),
        QString::fromUcs4(U"x\U00010400y"),
    };
    for (int i = 0; i < 20; ++i)
        history.append(QStringLiteral("filler %1").arg(i));
    history.append(QStringLiteral("NEEDLE in the middle"));
    QString huge;
    while (huge.size() < 1200 * 1000)
        huge += QString(99, QLatin1Char('x')) + QLatin1Char('\n');
    const int step = ListFilter::unitsPerStep / 6;
    huge.replace(step - 3, 6, QStringLiteral("neeDLE"));
    history.append(huge);
    return history;
}

// A shown popup over slicedHistory() whose search takes one slice at a time,
// only when the test runs it.
struct SteppedPopup
{
    static QStringList stored()
    {
        const QStringList history = slicedHistory();
        PopupFixture::resetSettings(history);
        return history;
    }
    SteppedPopup()
    {
        dialog.listFilter()->setSliceBudget(0);
        dialog.show();
    }

    PopupFixture fixture;
    const QStringList history = stored();
    InputDialog dialog;
};

// What the popup's plain algorithm lists for `prefix`.
QVector<int> plainRows(const QStringList &history, const QString &prefix, Qt::CaseSensitivity mode)
{
    QVector<int> rows;
    for (int i = 0; i < history.size(); ++i) {
        if (prefix.isEmpty() || history.at(i).indexOf(prefix, 0, mode) >= 0)
            rows.append(i);
    }
    return rows;
}

}  // namespace

class TestInputDialog : public QObject
{
    Q_OBJECT

private:
    template <typename T> static T *widget(InputDialog &dialog, const char *name)
    {
        T *found = dialog.findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    static QStringList shownRows(InputDialog &dialog)
    {
        QStringList rows;
        InputTableModel *model = dialog.tableModel();
        for (int r = 0; r < model->rowCount(); ++r)
            rows << model->data(model->index(r, 0)).toString();
        return rows;
    }
    static int currentRow(InputDialog &dialog)
    {
        return widget<TableView>(dialog, "tableView")->currentIndex().row();
    }
    static QString preview(InputDialog &dialog)
    {
        return widget<TextEdit>(dialog, "plainTextEdit")->toPlainText();
    }
    static bool waitForFilter(InputDialog &dialog)
    {
        return QTest::qWaitFor([&]() { return !dialog.isFiltering(); }, 20000);
    }
    static QString countLabel(InputDialog &dialog) { return widget<QLabel>(dialog, "lblCount")->text(); }
    static QRegExp findExpression(InputDialog &dialog)
    {
        const auto &rules = widget<TextEdit>(dialog, "plainTextEdit")->highlighter->ruleSet();
        return rules.value(QStringLiteral("zFind_1")).pattern;
    }
    // Types `text` into the filter line the way a user does, key by key.
    static void type(InputDialog &dialog, const QString &text)
    {
        QTest::keyClicks(widget<LineEdit>(dialog, "lineEdit"), text);
    }
    // Types any character, one key press each (a pair in one press, as a
    // keyboard or an input method sends it).
    static void typeCharacters(InputDialog &dialog, const QString &text)
    {
        for (const uint code : text.toUcs4()) {
            QTest::sendKeyEvent(QTest::Click, widget<LineEdit>(dialog, "lineEdit"), Qt::Key_unknown,
                QString::fromUcs4(&code, 1), Qt::NoModifier);
        }
    }

private slots:
    void form();
    void constructionFromSettings();
    void tooltips_data();
    void tooltips();
    void keyRouting();
    void upDownMoveTheList();
    void escapeHidesAndNextShowResets();
    void filter_data();
    void filter();
    void caseAndWordBoxesRefilter();
    void noMatchKeepsPreview();
    void clearingShowsAll();
    void captureShowsAll();
    void copyWhileBuildingIsTakenAfter();
    void clipboardBurstTakenOnce();
    void zoomFiveTimes();
    void zoomNeverBelowOnePoint();
    void closeOnlyHidesWhileTrayVisible();
    void dragMovesWindow();
    void lineWrap();
    void offScreenPopupComesBack();
    void onScreenPopupStaysPut();
    void shiftDeleteRemovesEntry();
    void shiftDeleteSurvivesRestart_data();
    void shiftDeleteSurvivesRestart();
    void shiftDeleteOnEmptyList();
    void slicedFilterEqualsPlain_data();
    void slicedFilterEqualsPlain();
    void firstRowsShowWhileSearching();
    void captureDuringSearchListsAll();
    void shiftDeleteDuringSearch();
    void showDuringSearchListsAll();
    void enterDuringSearch_data();
    void enterDuringSearch();
    void saveStoresState();
    void captureKeptWhenClosedDuringSave();
    void saveFailureTold();
};

void TestInputDialog::form()
{
    PopupFixture fixture;
    PopupFixture::resetSettings();
    InputDialog dialog;

    QCOMPARE(dialog.objectName(), QStringLiteral("inputDialog"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Input Dialog"));
    QCOMPARE(dialog.windowFlags() & ~Qt::WindowType_Mask,
        Qt::WindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint));
    QVERIFY(dialog.isWindow());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowStaysOnTopHint));
    // At least the form's minimum, and never so small that widgets are cut off.
    QCOMPARE(dialog.minimumSize(), QSize(440, 400).expandedTo(dialog.layout()->minimumSize()));
    dialog.show();
    dialog.resize(1, 1);
    const QRect inside = dialog.rect();
    for (const char *name : { "plainTextEdit", "btnClose", "lblCount", "tableView" })
        QVERIFY2(inside.contains(dialog.findChild<QWidget *>(QLatin1String(name))->geometry()), name);
    QVERIFY(dialog.isSizeGripEnabled());

    auto *label = widget<QLabel>(dialog, "label");
    QCOMPARE(label->text(), QStringLiteral(" ESC：キャンセル　Enter：決定　↓↑：選択"));
    QCOMPARE(label->frameShape(), QFrame::NoFrame);
    for (QWidget *w :
        { static_cast<QWidget *>(label), static_cast<QWidget *>(widget<QCheckBox>(dialog, "chkCase")),
            static_cast<QWidget *>(widget<QCheckBox>(dialog, "chkWord")) }) {
        QCOMPARE(w->font().family(), QStringLiteral("メイリオ"));
        QCOMPARE(w->font().pointSize(), 8);
    }

    auto *about = widget<QPushButton>(dialog, "btnAbout");
    QCOMPARE(about->text(), QStringLiteral("Quillet"));
    QVERIFY(about->isFlat());
    QVERIFY(!about->autoDefault());
    QVERIFY(drawsImage(about->icon()));

    auto *close = widget<QPushButton>(dialog, "btnClose");
    QCOMPARE(close->toolTip(), QStringLiteral("閉じる"));
    QVERIFY(close->text().isEmpty());
    QCOMPARE(close->minimumSize(), QSize(24, 24));
    QCOMPARE(close->maximumSize(), QSize(24, 24));
    QVERIFY(close->isFlat());
    QVERIFY(drawsImage(close->icon()));
    QVERIFY(drawsImage(widget<QToolButton>(dialog, "btnZoomIn")->icon()));
    QVERIFY(drawsImage(widget<QToolButton>(dialog, "btnZoomOut")->icon()));

    auto *chkCase = widget<QCheckBox>(dialog, "chkCase");
    QCOMPARE(chkCase->text(), QStringLiteral("大小同一視"));
    QCOMPARE(chkCase->statusTip(), QStringLiteral("大文字／小文字を同一視します"));
    auto *chkWord = widget<QCheckBox>(dialog, "chkWord");
    QCOMPARE(chkWord->text(), QStringLiteral("単語として絞込"));
    QCOMPARE(chkWord->statusTip(), QStringLiteral("入力した文字列を単語として絞込します"));
    QCOMPARE(widget<QCheckBox>(dialog, "chkLineWrap")->text(), QStringLiteral("折り返す"));

    auto *lineEdit = widget<LineEdit>(dialog, "lineEdit");
    QCOMPARE(lineEdit->accessibleName(), QStringLiteral("探す文字列を入力すると絞込表示します"));
    QCOMPARE(lineEdit->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);

    auto *table = widget<TableView>(dialog, "tableView");
    QCOMPARE(table->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QVERIFY(table->horizontalHeader()->stretchLastSection());
    QVERIFY(table->horizontalHeader()->isHidden());
    QVERIFY(table->verticalHeader()->isHidden());
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(table->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(table->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(table->styleSheet().contains(QStringLiteral("#505080")));
    QCOMPARE(widget<TextEdit>(dialog, "plainTextEdit")->minimumSize(), QSize(500, 300));
}

void TestInputDialog::constructionFromSettings()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    Settings *settings = Settings::instance();
    settings->ignoreCase = false;
    settings->word = true;
    settings->linewrap = true;
    settings->size = QSize(1000, 450);
    InputDialog dialog;

    QCOMPARE(dialog.history(), sampleHistory);
    QCOMPARE(dialog.size(), QSize(1000, 450));
    QVERIFY(!widget<QCheckBox>(dialog, "chkCase")->isChecked());
    QVERIFY(widget<QCheckBox>(dialog, "chkWord")->isChecked());
    QVERIFY(widget<QCheckBox>(dialog, "chkLineWrap")->isChecked());
    auto *preview = widget<TextEdit>(dialog, "plainTextEdit");
    QCOMPARE(preview->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(preview->font().pointSize(), 14);
    QCOMPARE(preview->styleSheet(),
        QStringLiteral("QPlainTextEdit { color: #ffffff ; background-color: #0a1b34 ; selection-color: "
                       "#ffffff; selection-background-color: #4682b4;}"));
    QCOMPARE(preview->tabStopDistance(),
        4.0 * QFontMetrics(settings->textFont).horizontalAdvance(QLatin1Char(' ')));
    QCOMPARE(dialog.font().pointSize(), 9);
    QCOMPARE(widget<LineEdit>(dialog, "lineEdit")->font().pointSize(), 9);
    auto *table = widget<TableView>(dialog, "tableView");
    QCOMPARE(table->font().pointSize(), 9);
    // The header raises a row height below its style's minimum to that.
    QCOMPARE(table->verticalHeader()->defaultSectionSize(),
        qMax(QFontMetrics(settings->inpFont).height() + 4, table->verticalHeader()->minimumSectionSize()));

    QCOMPARE(shownRows(dialog).size(), sampleHistory.size());
    QCOMPARE(widget<QLabel>(dialog, "lblCount")->text(), QStringLiteral("7/7"));
    QVERIFY(!dialog.isVisible());
}

void TestInputDialog::tooltips_data()
{
    QTest::addColumn<bool>("on");
    QTest::newRow("on") << true;
    QTest::newRow("off") << false;
}

void TestInputDialog::tooltips()
{
    QFETCH(bool, on);
    PopupFixture fixture;
    PopupFixture::resetSettings();
    Settings::instance()->tooltip = on;
    InputDialog dialog;

    auto *table = widget<TableView>(dialog, "tableView");
    auto *lineEdit = widget<LineEdit>(dialog, "lineEdit");
    auto *count = widget<QLabel>(dialog, "lblCount");
    if (on) {
        QVERIFY(table->toolTip().startsWith(
            QStringLiteral("①入力欄に文字列を入力すると、一覧表示が絞込されます。\n\n②")));
        QVERIFY(
            table->toolTip().endsWith(QStringLiteral("クリップボードには、選択した内容が残っています。\n")));
        QCOMPARE(lineEdit->toolTip(),
            QStringLiteral("文字を入力すると下の一覧表示を絞込します。\n\n[↑↓]で選択行が移動します\n\n["
                           "ESC]でウインドウを閉じます\n"));
        QCOMPARE(count->toolTip(),
            QStringLiteral("表示数／全数\n\n全数を増やしたい時は、quillet.ini の histmax=全数です。\n"));
    } else {
        QVERIFY(table->toolTip().isEmpty());
        QVERIFY(lineEdit->toolTip().isEmpty());
        QVERIFY(count->toolTip().isEmpty());
    }
    // Set whatever the tool-tip setting says.
    QCOMPARE(lineEdit->accessibleName(), QStringLiteral("探す文字列を入力すると絞込表示します"));
    QCOMPARE(
        widget<QCheckBox>(dialog, "chkCase")->statusTip(), QStringLiteral("大文字／小文字を同一視します"));
}

void TestInputDialog::keyRouting()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    dialog.show();
    auto *lineEdit = widget<LineEdit>(dialog, "lineEdit");
    // The spy sits behind the popup's filter and sees what the line edit gets.
    KeySpy spy;
    lineEdit->removeEventFilter(&dialog);
    lineEdit->installEventFilter(&spy);
    lineEdit->installEventFilter(&dialog);

    QTest::keyClick(lineEdit, Qt::Key_Up);
    QTest::keyClick(lineEdit, Qt::Key_Down);
    QTest::keyClick(lineEdit, Qt::Key_A);
    QTest::keyClick(lineEdit, Qt::Key_Delete, Qt::ShiftModifier);
    QTest::keyClick(lineEdit, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(lineEdit, Qt::Key_Delete);

    const QList<QPair<int, Qt::KeyboardModifiers>> expected = {
        { Qt::Key_Up, Qt::NoModifier },
        { Qt::Key_Down, Qt::NoModifier },
        { Qt::Key_A, Qt::NoModifier },
        { Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier },
        { Qt::Key_Delete, Qt::NoModifier },
    };
    QCOMPARE(spy.keys, expected);
    lineEdit->removeEventFilter(&spy);
}

void TestInputDialog::upDownMoveTheList()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    dialog.show();
    auto *lineEdit = widget<LineEdit>(dialog, "lineEdit");
    QCOMPARE(currentRow(dialog), 0);
    QCOMPARE(preview(dialog), sampleHistory.at(0));

    QTest::keyClick(lineEdit, Qt::Key_Down);
    // The copy posted to the list arrives at the next turn of the loop.
    QTRY_COMPARE(currentRow(dialog), 1);
    QCOMPARE(preview(dialog), sampleHistory.at(1));
    QTest::keyClick(lineEdit, Qt::Key_Down);
    QTRY_COMPARE(currentRow(dialog), 2);
    QTest::keyClick(lineEdit, Qt::Key_Up);
    QTRY_COMPARE(currentRow(dialog), 1);
    QCOMPARE(preview(dialog), sampleHistory.at(1));
    // The filter is untouched by the arrows.
    QCOMPARE(shownRows(dialog).size(), sampleHistory.size());
}

void TestInputDialog::escapeHidesAndNextShowResets()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    dialog.show();
    auto *lineEdit = widget<LineEdit>(dialog, "lineEdit");
    type(dialog, QStringLiteral("a.c"));
    QCOMPARE(shownRows(dialog), QStringList { QStringLiteral("a.c literal") });
    QTest::keyClick(lineEdit, Qt::Key_Down);
    QTest::keyClick(lineEdit, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());

    dialog.show();
    QVERIFY(lineEdit->text().isEmpty());
    QCOMPARE(shownRows(dialog).size(), sampleHistory.size());
    QCOMPARE(currentRow(dialog), 0);
    QCOMPARE(preview(dialog), sampleHistory.at(0));
    QCOMPARE(widget<QLabel>(dialog, "lblCount")->text(), QStringLiteral("7/7"));
}

void TestInputDialog::filter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");  // -1: at the end
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<bool>("word");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("pattern");

    const QStringList all = {
        QStringLiteral("xabc"),
        QStringLiteral("ABC only"),
        QStringLiteral("a.c literal"),
        QStringLiteral("aXc"),
        QStringLiteral("foo bar"),
        QStringLiteral("word"),
        QStringLiteral("日本語のテキスト"),
    };
    QTest::newRow("case ignored") << "abc" << -1 << true << false
                                  << QStringList { QStringLiteral("xabc"), QStringLiteral("ABC only") }
                                  << "abc";
    QTest::newRow("case kept") << "abc" << -1 << false << false << QStringList { QStringLiteral("xabc") }
                               << "abc";
    QTest::newRow("caret in the middle")
        << "ABC" << 1 << false << false << QStringList { QStringLiteral("ABC only") } << "A";
    QTest::newRow("caret at 0") << "zzz" << 0 << true << false << all << "";
    QTest::newRow("dot is literal in the list")
        << "a.c" << -1 << true << false << QStringList { QStringLiteral("a.c literal") } << "a.c";
    QTest::newRow("word box only changes the highlight")
        << "abc" << -1 << true << true << QStringList { QStringLiteral("xabc"), QStringLiteral("ABC only") }
        << "\\babc\\b";
    QTest::newRow("line feed is not a space")
        << "foo bar" << -1 << true << false << QStringList() << "foo bar";
    QTest::newRow("one line of a multi-line entry")
        << "bar" << -1 << true << false << QStringList { QStringLiteral("foo bar") } << "bar";
    QTest::newRow("tab removed in the list")
        << "\tw" << -1 << true << false << QStringList { QStringLiteral("word") } << "\tw";
    QTest::newRow("japanese") << "本語" << -1 << true << false
                              << QStringList { QStringLiteral("日本語のテキスト") } << "本語";
}

void TestInputDialog::filter()
{
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(bool, ignoreCase);
    QFETCH(bool, word);
    QFETCH(QStringList, rows);
    QFETCH(QString, pattern);

    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    Settings::instance()->ignoreCase = ignoreCase;
    Settings::instance()->word = word;
    InputDialog dialog;
    dialog.show();
    auto *lineEdit = widget<LineEdit>(dialog, "lineEdit");
    lineEdit->setText(text);
    if (caret >= 0) {
        lineEdit->setCursorPosition(caret);
        dialog.applyFilter(lineEdit->text());
    }

    QCOMPARE(shownRows(dialog), rows);
    QCOMPARE(widget<QLabel>(dialog, "lblCount")->text(), QStringLiteral("%1/7").arg(rows.size()));
    const QRegExp expression = findExpression(dialog);
    QCOMPARE(expression.pattern(), pattern);
    if (!pattern.isEmpty()) {
        QCOMPARE(expression.patternSyntax(), QRegExp::RegExp);
        QCOMPARE(expression.caseSensitivity(), ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive);
    }
    if (caret != 0 && !rows.isEmpty()) {
        // The newest match is current and previewed, raw.
        QCOMPARE(currentRow(dialog), 0);
        const int position = dialog.tableModel()->position(0);
        QCOMPARE(preview(dialog), sampleHistory.at(position));
    }
}

void TestInputDialog::caseAndWordBoxesRefilter()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    dialog.show();
    type(dialog, QStringLiteral("abc"));
    QCOMPARE(shownRows(dialog).size(), 2);

    QTest::mouseClick(widget<QCheckBox>(dialog, "chkCase"), Qt::LeftButton);
    QCOMPARE(shownRows(dialog), QStringList { QStringLiteral("xabc") });
    QCOMPARE(findExpression(dialog).caseSensitivity(), Qt::CaseSensitive);

    QTest::mouseClick(widget<QCheckBox>(dialog, "chkWord"), Qt::LeftButton);
    QCOMPARE(findExpression(dialog).pattern(), QStringLiteral("\\babc\\b"));
    QCOMPARE(shownRows(dialog), QStringList { QStringLiteral("xabc") });
}

void TestInputDialog::noMatchKeepsPreview()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    dialog.show();
    type(dialog, QStringLiteral("aX"));
    QCOMPARE(preview(dialog), QStringLiteral("aXc"));
    type(dialog, QStringLiteral("qq"));
    QVERIFY(shownRows(dialog).isEmpty());
    QCOMPARE(widget<QLabel>(dialog, "lblCount")->text(), QStringLiteral("0/7"));
    QCOMPARE(currentRow(dialog), -1);
    QCOMPARE(preview(dialog), QStringLiteral("aXc"));
    // Return with nothing to choose only hides.
    QTest::keyClick(widget<LineEdit>(dialog, "lineEdit"), Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    QVERIFY(fixture.platform.injected.isEmpty());
}

void TestInputDialog::clearingShowsAll()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    dialog.show();
    type(dialog, QStringLiteral("abc"));
    widget<LineEdit>(dialog, "lineEdit")->clear();
    QCOMPARE(shownRows(dialog).size(), 7);
    QCOMPARE(currentRow(dialog), -1);
    QCOMPARE(widget<QLabel>(dialog, "lblCount")->text(), QStringLiteral("7/7"));
    QVERIFY(findExpression(dialog).pattern().isEmpty());
}

void TestInputDialog::captureShowsAll()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    dialog.show();
    type(dialog, QStringLiteral("abc"));
    QGuiApplication::clipboard()->setText(QStringLiteral("  new entry  "));
    QTRY_COMPARE(dialog.history().value(0), QStringLiteral("  new entry  "));
    QCOMPARE(shownRows(dialog).size(), 8);
    QCOMPARE(shownRows(dialog).value(0), QStringLiteral("new entry"));
    QCOMPARE(widget<LineEdit>(dialog, "lineEdit")->text(), QStringLiteral("abc"));
    QCOMPARE(widget<QLabel>(dialog, "lblCount")->text(), QStringLiteral("8/8"));
    QCOMPARE(Settings::instance()->history, dialog.history());
}

void TestInputDialog::copyWhileBuildingIsTakenAfter()
{
    // A copy made while the program starts is reported while the popup is
    // being built: it is taken once the event loop runs, by a whole popup.
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    fixture.platform.copiedAtWatchStart = QStringLiteral("copied at start");
    InputDialog dialog;
    QCOMPARE(dialog.history(), sampleHistory);
    QTRY_COMPARE(dialog.history().value(0), QStringLiteral("copied at start"));
    QCOMPARE(shownRows(dialog).value(0), QStringLiteral("copied at start"));
    QCOMPARE(widget<QLabel>(dialog, "lblCount")->text(), QStringLiteral("8/8"));
}

void TestInputDialog::clipboardBurstTakenOnce()
{
    // A program that sets the clipboard in a loop: the changes that came in
    // one go are read once, the newest text, and written once.
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    QClipboard *clipboard = QGuiApplication::clipboard();
    for (int i = 1; i <= 1000; ++i)
        clipboard->setText(QStringLiteral("burst %1").arg(i));
    QTRY_COMPARE(dialog.history().value(0), QStringLiteral("burst 1000"));
    QCOMPARE(dialog.history(), QStringList { QStringLiteral("burst 1000") } + sampleHistory);
    QCOMPARE(Settings::instance()->history, dialog.history());
    QVERIFY(!QFile::exists(fixture.dir.filePath(QStringLiteral("cliplist.dat.bak"))));

    // A later change is taken as before.
    clipboard->setText(QStringLiteral("after the burst"));
    QTRY_COMPARE(dialog.history().value(0), QStringLiteral("after the burst"));
    QCOMPARE(dialog.history().size(), sampleHistory.size() + 2);
    QCOMPARE(widget<QLabel>(dialog, "lblCount")->text(), QStringLiteral("9/9"));
}

void TestInputDialog::zoomFiveTimes()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    dialog.show();
    auto *table = widget<TableView>(dialog, "tableView");
    const int rowHeight = table->rowHeight(0);
    for (int i = 0; i < 5; ++i)
        QTest::mouseClick(widget<QToolButton>(dialog, "btnZoomIn"), Qt::LeftButton);

    QCOMPARE(Settings::instance()->textFont.pointSize(), 19);
    QCOMPARE(Settings::instance()->inpFont.pointSize(), 14);
    QCOMPARE(widget<TextEdit>(dialog, "plainTextEdit")->font().pointSize(), 19);
    QCOMPARE(table->font().pointSize(), 14);
    QCOMPARE(table->rowHeight(0), rowHeight);
    QCOMPARE(widget<LineEdit>(dialog, "lineEdit")->font().pointSize(), 9);

    for (int i = 0; i < 5; ++i)
        QTest::mouseClick(widget<QToolButton>(dialog, "btnZoomOut"), Qt::LeftButton);
    QCOMPARE(Settings::instance()->textFont.pointSize(), 14);
    QCOMPARE(Settings::instance()->inpFont.pointSize(), 9);
}

void TestInputDialog::zoomNeverBelowOnePoint()
{
    PopupFixture fixture;
    PopupFixture::resetSettings();
    Settings::instance()->textFont.setPointSize(3);
    Settings::instance()->inpFont.setPointSize(2);
    InputDialog dialog;
    for (int i = 0; i < 4; ++i)
        dialog.on_btnZoomOut_clicked();
    QCOMPARE(Settings::instance()->textFont.pointSize(), 1);
    QCOMPARE(Settings::instance()->inpFont.pointSize(), 1);
    QCOMPARE(widget<TextEdit>(dialog, "plainTextEdit")->font().pointSize(), 1);
    dialog.on_btnZoomIn_clicked();
    QCOMPARE(Settings::instance()->inpFont.pointSize(), 2);
}

void TestInputDialog::closeOnlyHidesWhileTrayVisible()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    QVERIFY(dialog.tray()->isVisible());
    dialog.show();
    QTest::mouseClick(widget<QPushButton>(dialog, "btnClose"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QVERIFY(dialog.tray()->isVisible());

    dialog.show();
    QVERIFY(!dialog.close());  // the close request is refused, the popup hidden
    QVERIFY(!dialog.isVisible());

    dialog.tray()->setVisible(false);
    dialog.show();
    QVERIFY(dialog.close());
    QVERIFY(!dialog.isVisible());
}

void TestInputDialog::dragMovesWindow()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    dialog.show();
    dialog.move(100, 80);
    QTRY_COMPARE(dialog.pos(), QPoint(100, 80));
    auto *label = widget<QLabel>(dialog, "label");
    const QPoint start(5, 5);

    QMouseEvent press(QEvent::MouseButtonPress, start, label->mapToGlobal(start), Qt::LeftButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(label, &press);
    const QPoint step = start + QPoint(30, 12);
    QMouseEvent move(
        QEvent::MouseMove, step, label->mapToGlobal(step), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(label, &move);
    QTRY_COMPARE(dialog.pos(), QPoint(130, 92));

    // The window moved under the mouse, so the next event is back at the
    // press point relative to the window: no further move.
    QMouseEvent still(
        QEvent::MouseMove, start, label->mapToGlobal(start), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(label, &still);
    QCOMPARE(dialog.pos(), QPoint(130, 92));

    QMouseEvent release(QEvent::MouseButtonRelease, start, label->mapToGlobal(start), Qt::LeftButton,
        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(label, &release);
    QMouseEvent after(
        QEvent::MouseMove, step, label->mapToGlobal(step), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(label, &after);
    QCOMPARE(dialog.pos(), QPoint(130, 92));
}

void TestInputDialog::lineWrap()
{
    PopupFixture fixture;
    PopupFixture::resetSettings();
    InputDialog dialog;
    auto *preview = widget<TextEdit>(dialog, "plainTextEdit");
    QCOMPARE(preview->lineWrapMode(), QPlainTextEdit::NoWrap);
    QTest::mouseClick(widget<QCheckBox>(dialog, "chkLineWrap"), Qt::LeftButton);
    QCOMPARE(preview->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QTest::mouseClick(widget<QCheckBox>(dialog, "chkLineWrap"), Qt::LeftButton);
    QCOMPARE(preview->lineWrapMode(), QPlainTextEdit::NoWrap);
}

void TestInputDialog::offScreenPopupComesBack()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    dialog.show();
    dialog.hide();
    // Left where a monitor used to be.
    dialog.move(20000, 15000);
    QCursor::setPos(QGuiApplication::primaryScreen()->geometry().center());
    dialog.show();
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(available.intersects(dialog.frameGeometry()));
    QVERIFY((dialog.frameGeometry().center() - available.center()).manhattanLength() <= 2);
}

void TestInputDialog::onScreenPopupStaysPut()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    dialog.show();
    dialog.move(30, 40);
    dialog.hide();
    dialog.show();
    QCOMPARE(dialog.pos(), QPoint(30, 40));
}

void TestInputDialog::shiftDeleteRemovesEntry()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    dialog.show();
    auto *lineEdit = widget<LineEdit>(dialog, "lineEdit");
    type(dialog, QStringLiteral("a"));
    const QStringList before = shownRows(dialog);
    QTest::keyClick(lineEdit, Qt::Key_Down);
    QTRY_COMPARE(currentRow(dialog), 1);
    const QString doomed = sampleHistory.at(dialog.tableModel()->position(1));

    QTest::keyClick(lineEdit, Qt::Key_Delete, Qt::ShiftModifier);
    QVERIFY(!dialog.history().contains(doomed));
    QCOMPARE(dialog.history().size(), sampleHistory.size() - 1);
    QVERIFY(!Settings::instance()->history.contains(doomed));
    // The filter still applies, and the same row number is current.
    QCOMPARE(lineEdit->text(), QStringLiteral("a"));
    QStringList after = before;
    after.removeAt(1);
    QCOMPARE(shownRows(dialog), after);
    QCOMPARE(currentRow(dialog), 1);
    QCOMPARE(preview(dialog), dialog.history().at(dialog.tableModel()->position(1)));

    // Deleting the last row makes the new last row current.
    const int last = shownRows(dialog).size() - 1;
    widget<TableView>(dialog, "tableView")->setCurrentIndex(dialog.tableModel()->index(last, 0));
    QTest::keyClick(lineEdit, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(currentRow(dialog), last - 1);
    QCOMPARE(widget<QLabel>(dialog, "lblCount")->text(),
        QStringLiteral("%1/%2").arg(last).arg(sampleHistory.size() - 2));
}

void TestInputDialog::shiftDeleteSurvivesRestart_data()
{
    QTest::addColumn<QStringList>("deleted");
    QTest::addColumn<QStringList>("remaining");
    const QString secret = QStringLiteral("hunter2-secret");
    const QString kept = QStringLiteral("kept entry");
    QTest::newRow("one of two") << QStringList { secret } << QStringList { kept };
    QTest::newRow("every entry") << QStringList { kept, secret } << QStringList();
}

void TestInputDialog::shiftDeleteSurvivesRestart()
{
    QFETCH(QStringList, deleted);
    QFETCH(QStringList, remaining);
    PopupFixture fixture;
    PopupFixture::resetSettings();
    const QString secret = QStringLiteral("hunter2-secret");
    {
        InputDialog dialog;
        // Two captures, so that the clip list and its backup both held the
        // secret before the deletion.
        QGuiApplication::clipboard()->setText(secret);
        QTRY_COMPARE(dialog.history().value(0), secret);
        QGuiApplication::clipboard()->setText(QStringLiteral("kept entry"));
        QTRY_COMPARE(dialog.history().value(0), QStringLiteral("kept entry"));
        QTRY_VERIFY(dialog.saveQueue()->isIdle());
        QVERIFY(QFile::exists(fixture.dir.filePath(QStringLiteral("cliplist.dat"))));

        dialog.show();
        for (const QString &entry : deleted) {
            const int row = dialog.history().indexOf(entry);
            QVERIFY(row >= 0);
            widget<TableView>(dialog, "tableView")->setCurrentIndex(dialog.tableModel()->index(row, 0));
            QTest::keyClick(widget<LineEdit>(dialog, "lineEdit"), Qt::Key_Delete, Qt::ShiftModifier);
        }
        QCOMPARE(dialog.history(), remaining);
    }

    Settings reloaded;
    reloaded.load();
    QCOMPARE(reloaded.history, remaining);
    // Whatever file the program keeps beside itself, none reads back with
    // the secret, the backup of the clip list included.
    const QString backup = fixture.dir.filePath(QStringLiteral("cliplist.dat.bak"));
    if (QFile::exists(backup)) {
        QFile::remove(fixture.dir.filePath(QStringLiteral("cliplist.dat")));
        QVERIFY(QFile::copy(backup, fixture.dir.filePath(QStringLiteral("cliplist.dat"))));
        Settings fromBackup;
        fromBackup.load();
        QVERIFY(!fromBackup.history.contains(secret));
    }
}

void TestInputDialog::shiftDeleteOnEmptyList()
{
    PopupFixture fixture;
    PopupFixture::resetSettings();
    InputDialog dialog;
    dialog.show();
    QTest::keyClick(widget<LineEdit>(dialog, "lineEdit"), Qt::Key_Delete, Qt::ShiftModifier);
    QVERIFY(dialog.history().isEmpty());
    QCOMPARE(widget<QLabel>(dialog, "lblCount")->text(), QStringLiteral("0/0"));
    QTest::keyClick(widget<LineEdit>(dialog, "lineEdit"), Qt::Key_Enter);
    QVERIFY(!dialog.isVisible());
}

void TestInputDialog::saveStoresState()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    InputDialog dialog;
    dialog.resize(1010, 420);
    widget<QCheckBox>(dialog, "chkCase")->setChecked(false);
    widget<QCheckBox>(dialog, "chkWord")->setChecked(true);
    widget<QCheckBox>(dialog, "chkLineWrap")->setChecked(true);
    Settings::instance()->history.clear();
    dialog.saveSettings();
    const Settings *settings = Settings::instance();
    QCOMPARE(settings->size, QSize(1010, 420));
    QVERIFY(!settings->ignoreCase);
    QVERIFY(settings->word);
    QVERIFY(settings->linewrap);
    QCOMPARE(settings->history, sampleHistory);
}

void TestInputDialog::captureKeptWhenClosedDuringSave()
{
    // The program quits right after a capture, while the history of some
    // megabytes is still being written: the capture is on disk afterwards.
    PopupFixture fixture;
    QStringList big;
    for (int i = 0; i < 40; ++i)
        big << QStringLiteral("entry %1 ").arg(i) + QString(200000, QLatin1Char('a' + i % 26));
    PopupFixture::resetSettings(big);
    {
        InputDialog dialog;
        QGuiApplication::clipboard()->setText(QStringLiteral("the last capture"));
        QTRY_COMPARE(dialog.history().value(0), QStringLiteral("the last capture"));
        QVERIFY(!dialog.saveQueue()->isIdle());
    }
    Settings reloaded;
    reloaded.load();
    QCOMPARE(reloaded.history, QStringList { QStringLiteral("the last capture") } + big);
}

void TestInputDialog::saveFailureTold()
{
    PopupFixture fixture;
    PopupFixture::resetSettings(sampleHistory);
    // Nothing can replace a directory that stands where the settings file
    // belongs.
    QVERIFY(QDir(fixture.dir.path()).mkdir(QStringLiteral("quillet.ini")));
    InputDialog dialog;
    QSignalSpy failed(dialog.saveQueue(), &SaveQueue::failed);
    QGuiApplication::clipboard()->setText(QStringLiteral("not saved"));
    QTRY_COMPARE(failed.size(), 1);
    QCOMPARE(failed.first().at(0).toString(), fixture.dir.filePath(QStringLiteral("quillet.ini")));
    QVERIFY(SaveFailure::reported());
    // The program goes on with the capture in memory.
    QCOMPARE(dialog.history().value(0), QStringLiteral("not saved"));
}

void TestInputDialog::slicedFilterEqualsPlain_data()
{
    QTest::addColumn<int>("budget");
    QTest::addColumn<QStringList>("actions");
    const QStringList typing = { "type:nee", "type:d", "type:le", "backspace", "backspace", "type:dle" };
    const QStringList caret
        = { "type:alpha", "left", "left", "type:x", "home", "type:K", "end", "backspace" };
    const QStringList boxes = { "type:Alpha", "case", "word", "case", "backspace", "word" };
    const QStringList special = { "type:k", "type:e", "backspace", "backspace", "type:\u03C3\u03C2", "case",
        "backspace", "backspace", "case", "type:" + QString::fromUcs4(U"X\U00010428"), "backspace" };
    for (const int budget : { 0, ListFilter::sliceBudgetMs }) {
        QTest::addRow("typing and backspace, budget %d", budget) << budget << typing;
        QTest::addRow("caret moves, budget %d", budget) << budget << caret;
        QTest::addRow("case and word boxes, budget %d", budget) << budget << boxes;
        QTest::addRow("case folds and pairs, budget %d", budget) << budget << special;
    }
}

// Whatever the user does, once the search has run to its end the popup
// shows what the plain algorithm shows: list, count, row 0 and preview,
// and the preview's find expression.
void TestInputDialog::slicedFilterEqualsPlain()
{
    QFETCH(int, budget);
    QFETCH(QStringList, actions);
    PopupFixture fixture;
    const QStringList history = slicedHistory();
    PopupFixture::resetSettings(history);
    InputDialog dialog;
    QAbstractItemModelTester check(
        dialog.tableModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    dialog.listFilter()->setSliceBudget(budget);
    dialog.show();
    auto *lineEdit = widget<LineEdit>(dialog, "lineEdit");
    auto *caseBox = widget<QCheckBox>(dialog, "chkCase");
    auto *wordBox = widget<QCheckBox>(dialog, "chkWord");

    QString prefix;
    for (const QString &action : actions) {
        // Moving the caret alone does not filter again.
        bool filters = true;
        if (action.startsWith(QLatin1String("type:")))
            typeCharacters(dialog, action.mid(5));
        else if (action.startsWith(QLatin1String("caret:")))
            lineEdit->setCursorPosition(action.mid(6).toInt()), filters = false;
        else if (action == QLatin1String("backspace"))
            QTest::keyClick(lineEdit, Qt::Key_Backspace);
        else if (action == QLatin1String("case"))
            QTest::mouseClick(caseBox, Qt::LeftButton);
        else if (action == QLatin1String("word"))
            QTest::mouseClick(wordBox, Qt::LeftButton);
        else if (action == QLatin1String("left"))
            QTest::keyClick(lineEdit, Qt::Key_Left), filters = false;
        else if (action == QLatin1String("home"))
            QTest::keyClick(lineEdit, Qt::Key_Home), filters = false;
        else if (action == QLatin1String("end"))
            QTest::keyClick(lineEdit, Qt::Key_End), filters = false;
        else
            QFAIL(qPrintable(action));
        if (filters)
            prefix = lineEdit->text().left(lineEdit->cursorPosition());
        const Qt::CaseSensitivity mode = caseBox->isChecked() ? Qt::CaseInsensitive : Qt::CaseSensitive;

        QVERIFY(waitForFilter(dialog));
        const QVector<int> rows = plainRows(history, prefix, mode);
        QCOMPARE(dialog.tableModel()->rowMap(), rows);
        QCOMPARE(dialog.tableModel()->rowCount(), rows.size());
        QCOMPARE(countLabel(dialog), QStringLiteral("%1/%2").arg(rows.size()).arg(history.size()));
        const QString pattern = wordBox->isChecked() ? "\\b" + prefix + "\\b" : prefix;
        QCOMPARE(findExpression(dialog).pattern(), pattern);
        if (!prefix.isEmpty() && !rows.isEmpty()) {
            QCOMPARE(currentRow(dialog), 0);
            QCOMPARE(preview(dialog), history.at(rows.first()));
        }
    }
}

// The search shows the newest match as row 0 as soon as it has found it,
// and the count of the matches found so far, while it goes on.
void TestInputDialog::firstRowsShowWhileSearching()
{
    SteppedPopup popup;
    InputDialog &dialog = popup.dialog;
    const QStringList &history = popup.history;
    type(dialog, QStringLiteral("e"));

    // The key press searched the first entry, which holds an e.
    QVERIFY(dialog.isFiltering());
    QCOMPARE(dialog.tableModel()->rowCount(), 1);
    QCOMPARE(countLabel(dialog), QStringLiteral("1/%1").arg(history.size()));
    QCOMPARE(currentRow(dialog), 0);
    QCOMPARE(preview(dialog), history.at(0));
    dialog.listFilter()->runSlice();
    dialog.listFilter()->runSlice();
    QCOMPARE(dialog.tableModel()->rowCount(), 2);  // "Beta"; "gamma ALPHA" holds none
    QCOMPARE(countLabel(dialog), QStringLiteral("2/%1").arg(history.size()));

    // Moving down meanwhile is not undone by the rows that follow.
    QTest::keyClick(widget<LineEdit>(dialog, "lineEdit"), Qt::Key_Down);
    QTRY_COMPARE(currentRow(dialog), 1);
    QVERIFY(waitForFilter(dialog));
    QCOMPARE(currentRow(dialog), 1);
    QCOMPARE(dialog.tableModel()->rowMap(), plainRows(history, QStringLiteral("e"), Qt::CaseInsensitive));
}

void TestInputDialog::captureDuringSearchListsAll()
{
    SteppedPopup popup;
    InputDialog &dialog = popup.dialog;
    const QStringList &history = popup.history;
    type(dialog, QStringLiteral("filler"));
    QVERIFY(dialog.isFiltering());

    QGuiApplication::clipboard()->setText(QStringLiteral("captured filler"));
    QTRY_COMPARE(dialog.history().value(0), QStringLiteral("captured filler"));
    QVERIFY(!dialog.isFiltering());
    const int n = history.size() + 1;
    QCOMPARE(dialog.tableModel()->rowCount(), n);
    QCOMPARE(countLabel(dialog), QStringLiteral("%1/%1").arg(n));
    // Nothing of the stopped search comes in later.
    QTest::qWait(50);
    QCOMPARE(dialog.tableModel()->rowCount(), n);
    QCOMPARE(dialog.tableModel()->position(n - 1), n - 1);

    // The next key filters the new history afresh.
    type(dialog, QStringLiteral(" 1"));
    QVERIFY(waitForFilter(dialog));
    QCOMPARE(dialog.tableModel()->rowMap(),
        plainRows(dialog.history(), QStringLiteral("filler 1"), Qt::CaseInsensitive));
}

void TestInputDialog::shiftDeleteDuringSearch()
{
    SteppedPopup popup;
    InputDialog &dialog = popup.dialog;
    const QStringList &history = popup.history;
    auto *lineEdit = widget<LineEdit>(dialog, "lineEdit");
    type(dialog, QStringLiteral("l"));
    for (int i = 0; i < 6; ++i)
        dialog.listFilter()->runSlice();
    QVERIFY(dialog.isFiltering());
    QVERIFY(dialog.tableModel()->rowCount() >= 3);
    auto *table = widget<TableView>(dialog, "tableView");
    table->setCurrentIndex(dialog.tableModel()->index(1, 0));
    const QString doomed = history.at(dialog.tableModel()->position(1));

    QTest::keyClick(lineEdit, Qt::Key_Delete, Qt::ShiftModifier);
    QVERIFY(!dialog.history().contains(doomed));
    QVERIFY(waitForFilter(dialog));
    QCOMPARE(
        dialog.tableModel()->rowMap(), plainRows(dialog.history(), QStringLiteral("l"), Qt::CaseInsensitive));
    QCOMPARE(currentRow(dialog), 1);
    QCOMPARE(preview(dialog), dialog.history().at(dialog.tableModel()->position(1)));
    QCOMPARE(lineEdit->text(), QStringLiteral("l"));
}

void TestInputDialog::showDuringSearchListsAll()
{
    SteppedPopup popup;
    InputDialog &dialog = popup.dialog;
    const QStringList &history = popup.history;
    type(dialog, QStringLiteral("needle"));
    QVERIFY(dialog.isFiltering());
    QTest::keyClick(widget<LineEdit>(dialog, "lineEdit"), Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());

    dialog.show();
    QVERIFY(!dialog.isFiltering());
    QVERIFY(widget<LineEdit>(dialog, "lineEdit")->text().isEmpty());
    QCOMPARE(dialog.tableModel()->rowCount(), history.size());
    QCOMPARE(currentRow(dialog), 0);
    QCOMPARE(preview(dialog), history.at(0));
    QTest::qWait(50);
    QCOMPARE(dialog.tableModel()->rowCount(), history.size());
    QCOMPARE(countLabel(dialog), QStringLiteral("%1/%1").arg(history.size()));

    // After Shift+Delete a change of the box without a key press does not
    // filter (the clear button): the next show lists everything all the same.
    auto *lineEdit = widget<LineEdit>(dialog, "lineEdit");
    type(dialog, QStringLiteral("e"));
    QTest::keyClick(lineEdit, Qt::Key_Delete, Qt::ShiftModifier);
    QVERIFY(dialog.isFiltering());
    lineEdit->clear();
    dialog.hide();
    dialog.show();
    QVERIFY(!dialog.isFiltering());
    QCOMPARE(dialog.tableModel()->rowCount(), history.size() - 1);
    QCOMPARE(currentRow(dialog), 0);
    QTest::qWait(50);
    QCOMPARE(dialog.tableModel()->rowCount(), history.size() - 1);
}

void TestInputDialog::enterDuringSearch_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("slicesBeforeEnter");
    QTest::addColumn<QString>("pasted");
    // "in the middle" is found only far down the history.
    QTest::newRow("nothing found yet") << QStringList { "in the" } << 0 << "NEEDLE in the middle";
    QTest::newRow("row 0 found, search goes on") << QStringList { "e" } << 2 << "alpha needle";
    QTest::newRow("typed on before the search ended")
        << QStringList { "fil", "ler 1", "9" } << 0 << "filler 19";
}

// Return pastes the current row of the text typed last, never a row of an
// earlier text, and never nothing just because the search has yet to find
// the row.
void TestInputDialog::enterDuringSearch()
{
    QFETCH(QStringList, keys);
    QFETCH(int, slicesBeforeEnter);
    QFETCH(QString, pasted);
    SteppedPopup popup;
    InputDialog &dialog = popup.dialog;
    for (const QString &text : keys)
        type(dialog, text);
    for (int i = 0; i < slicesBeforeEnter; ++i)
        dialog.listFilter()->runSlice();
    QVERIFY(dialog.isFiltering());

    QTest::keyClick(widget<LineEdit>(dialog, "lineEdit"), Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(QGuiApplication::clipboard()->text(), pasted);
}

QTEST_MAIN(TestInputDialog)
#include "tst_inputdialog.moc"
