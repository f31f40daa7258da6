// The filter line: clear button, Return kept to itself, Alt bindings, focus.

#include "popup/lineedit.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QMenu>
#include <QTimer>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

class TestLineEdit : public QObject
{
    Q_OBJECT

private slots:
    void keys_data();
    void keys();
    void returnKeepsText();
    void clearButton();
    void focusIsReported();
    void pasteUsesToldText_data();
    void pasteUsesToldText();
    void contextMenuPastesToldText();
    void cleanupTestCase();
};

void TestLineEdit::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("signal");  // the one of ours emitted, or empty
    QTest::addColumn<QString>("typed");  // the text afterwards, from "x"

    QTest::newRow("return") << int(Qt::Key_Return) << int(Qt::NoModifier) << "lineEditReturn"
                            << "x";
    QTest::newRow("shift return") << int(Qt::Key_Return) << int(Qt::ShiftModifier) << "lineEditReturn"
                                  << "x";
    QTest::newRow("alt o") << int(Qt::Key_O) << int(Qt::AltModifier) << "CaseChange"
                           << "x";
    QTest::newRow("alt w") << int(Qt::Key_W) << int(Qt::AltModifier) << "WordChange"
                           << "x";
    QTest::newRow("alt [") << int(Qt::Key_BracketLeft) << int(Qt::AltModifier) << "RegexpChange"
                           << "x";
    QTest::newRow("alt shift o is ordinary")
        << int(Qt::Key_O) << int(Qt::AltModifier | Qt::ShiftModifier) << ""
        << "x";
    QTest::newRow("plain o types") << int(Qt::Key_O) << int(Qt::NoModifier) << ""
                                   << "xo";
    QTest::newRow("keypad enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << ""
                                  << "x";
}

void TestLineEdit::keys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, signal);
    QFETCH(QString, typed);

    LineEdit edit;
    edit.setText(QStringLiteral("x"));
    QSignalSpy returnSpy(&edit, &LineEdit::lineEditReturn);
    QSignalSpy caseSpy(&edit, &LineEdit::CaseChange);
    QSignalSpy wordSpy(&edit, &LineEdit::WordChange);
    QSignalSpy regexpSpy(&edit, &LineEdit::RegexpChange);
    QSignalSpy upDownSpy(&edit, &LineEdit::lineEditUpDown);
    QSignalSpy basePressed(&edit, &QLineEdit::returnPressed);
    const QString text = key == Qt::Key_O && !(modifiers & Qt::AltModifier) ? QStringLiteral("o") : QString();
    QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
    QApplication::sendEvent(&edit, &event);

    QCOMPARE(returnSpy.count(), signal == QLatin1String("lineEditReturn") ? 1 : 0);
    QCOMPARE(caseSpy.count(), signal == QLatin1String("CaseChange") ? 1 : 0);
    QCOMPARE(wordSpy.count(), signal == QLatin1String("WordChange") ? 1 : 0);
    QCOMPARE(regexpSpy.count(), signal == QLatin1String("RegexpChange") ? 1 : 0);
    QCOMPARE(upDownSpy.count(), 0);
    QCOMPARE(edit.text(), typed);
    // Return never reaches the base class; keypad Enter does.
    QCOMPARE(basePressed.count(), key == Qt::Key_Enter ? 1 : 0);
    if (signal == QLatin1String("lineEditReturn"))
        QVERIFY(event.isAccepted());
    else if (!signal.isEmpty())
        QVERIFY(!event.isAccepted());
}

void TestLineEdit::returnKeepsText()
{
    LineEdit edit;
    edit.setText(QStringLiteral("abc"));
    QSignalSpy editing(&edit, &QLineEdit::editingFinished);
    QTest::keyClick(&edit, Qt::Key_Return);
    QCOMPARE(edit.text(), QStringLiteral("abc"));
    QCOMPARE(editing.count(), 0);
}

void TestLineEdit::clearButton()
{
    LineEdit edit;
    QVERIFY(edit.isClearButtonEnabled());
    edit.setText(QStringLiteral("filter"));
    edit.show();
    QToolButton *button = edit.findChild<QToolButton *>();
    QVERIFY(button);
    QCOMPARE(button->toolTip(), QStringLiteral("入力欄クリア"));

    QSignalSpy changed(&edit, &QLineEdit::textChanged);
    QSignalSpy pressed(&edit, &QLineEdit::returnPressed);
    button->click();
    QVERIFY(edit.text().isEmpty());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toString(), QString());
    QCOMPARE(pressed.count(), 1);
}

void TestLineEdit::focusIsReported()
{
    LineEdit edit;
    QSignalSpy spy(&edit, &LineEdit::receivedFocus);
    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(&edit, &in);
    QCOMPARE(spy.count(), 1);
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(&edit, &out);
    QCOMPARE(spy.count(), 1);
}

void TestLineEdit::pasteUsesToldText_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("told");
    QTest::addColumn<bool>("selectAll");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ctrl+v") << int(Qt::Key_V) << int(Qt::ControlModifier) << "told" << false << "abtoldcd";
    QTest::newRow("shift+insert") << int(Qt::Key_Insert) << int(Qt::ShiftModifier) << "told" << false
                                  << "abtoldcd";
    QTest::newRow("over a selection") << int(Qt::Key_V) << int(Qt::ControlModifier) << "new" << true << "new";
    QTest::newRow("nothing told") << int(Qt::Key_V) << int(Qt::ControlModifier) << "" << false << "abcd";
}

void TestLineEdit::pasteUsesToldText()
{
    // The box never asks the system clipboard, whose owner may not answer:
    // what it was told of is pasted, whatever Qt's clipboard holds.
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, told);
    QFETCH(bool, selectAll);
    QFETCH(QString, expected);
    QGuiApplication::clipboard()->setText(QStringLiteral("system"));
    LineEdit edit;
    edit.setText(QStringLiteral("abcd"));
    edit.setCursorPosition(2);
    if (selectAll)
        edit.selectAll();
    edit.setClipboardText(told);
    QTest::keyClick(&edit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(edit.text(), expected);
}

void TestLineEdit::contextMenuPastesToldText()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("system"));
    LineEdit edit;
    edit.show();
    edit.setText(QStringLiteral("ab"));
    edit.setClipboardText(QStringLiteral("told"));
    QStringList enabled;
    QTimer::singleShot(0, [&enabled] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        QAction *paste = nullptr;
        for (QAction *action : menu->actions()) {
            if (action->isEnabled() && !action->isSeparator())
                enabled << action->text();
            if (action->text() == QLineEdit::tr("&Paste"))
                paste = action;
        }
        if (paste)
            paste->trigger();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(1, 1), edit.mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(&edit, &event);
    QCOMPARE(enabled, (QStringList { QLineEdit::tr("&Paste"), QLineEdit::tr("Select All") }));
    QCOMPARE(edit.text(), QStringLiteral("abtold"));
}

void TestLineEdit::cleanupTestCase()
{
    // The clear button fades in and out with an animation that has no parent
    // and deletes itself when it stops: let the last ones stop before the
    // process ends, or the leak checker counts them.
    QTest::qWait(400);
}

QTEST_MAIN(TestLineEdit)
#include "tst_lineedit.moc"
