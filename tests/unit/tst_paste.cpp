// Target capture at show time and the paste, checked against the calls the
// popup makes into the platform layer.

#include "popupfixture.h"

#include "popup/inputdialog.h"
#include "popup/inputtablemodel.h"
#include "popup/lineedit.h"
#include "popup/pastechords.h"
#include "popup/tableview.h"

#include <QClipboard>
#include <QMouseEvent>
#include <QTest>

class TestPaste : public QObject
{
    Q_OBJECT

private:
    static void script(FakePlatform &platform)
    {
        platform.threadId = 1;
        platform.foreground = 42;
        platform.foregroundThread = 7;
        platform.focus = 55;
        platform.rect = QRect(100, 200, 300, 40);
        platform.caret = QPoint(5, 6);
        platform.attachSucceeds = true;
        platform.caretSucceeds = true;
    }
    static LineEdit *lineEdit(InputDialog &dialog)
    {
        return dialog.findChild<LineEdit *>(QStringLiteral("lineEdit"));
    }
    static TableView *table(InputDialog &dialog)
    {
        return dialog.findChild<TableView *>(QStringLiteral("tableView"));
    }

    const QStringList captured = {
        QStringLiteral("currentThreadId"),
        QStringLiteral("foregroundWindow"),
        QStringLiteral("windowThreadId 42"),
        QStringLiteral("attachThreadInput 1 7 1"),
        QStringLiteral("caretPosition"),
        QStringLiteral("focusWindow"),
        QStringLiteral("windowRect 55"),
        QStringLiteral("attachThreadInput 1 7 0"),
    };
    const QStringList pasted = {
        QStringLiteral("windowClasses 55"),
        QStringLiteral("setForegroundWindow 55"),
        QStringLiteral("injectKey 17 0"),
        QStringLiteral("injectKey 86 0"),
        QStringLiteral("injectKey 86 2"),
        QStringLiteral("injectKey 17 2"),
    };

private slots:
    void capture_data();
    void capture();
    void showTakesTheForeground();
    void enterPastesIntoTarget();
    void doubleClickPastes();
    void filteredRowPastesItsEntry();
    void chordFollowsTarget_data();
    void chordFollowsTarget();
    void noTargetOnlyCopies();
    void emptyListOnlyHides();
};

void TestPaste::capture_data()
{
    QTest::addColumn<quintptr>("foreground");
    QTest::addColumn<quint32>("thread");
    QTest::addColumn<bool>("attach");
    QTest::addColumn<bool>("caret");
    QTest::addColumn<quintptr>("focus");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<quintptr>("target");
    QTest::addColumn<QPoint>("caretPoint");
    QTest::addColumn<int>("calls");  // how many of the full capture's calls are made

    const QRect rect(100, 200, 300, 40);
    QTest::newRow("focus window found") << quintptr(42) << 7u << true << true << quintptr(55) << rect
                                        << quintptr(55) << QPoint(105, 206) << 8;
    QTest::newRow("no foreground window")
        << quintptr(0) << 7u << true << true << quintptr(55) << rect << quintptr(0) << QPoint() << 2;
    QTest::newRow("no owner thread") << quintptr(42) << 0u << true << true << quintptr(55) << rect
                                     << quintptr(0) << QPoint() << 3;
    QTest::newRow("attachment fails")
        << quintptr(42) << 7u << false << true << quintptr(55) << rect << quintptr(0) << QPoint() << 4;
    QTest::newRow("foreground is our own thread")
        << quintptr(42) << 1u << true << true << quintptr(55) << rect << quintptr(0) << QPoint() << 4;
    QTest::newRow("caret fails, target kept") << quintptr(42) << 7u << true << false << quintptr(55) << rect
                                              << quintptr(55) << QPoint(100, 200) << 8;
    QTest::newRow("off the top left") << quintptr(42) << 7u << true << true << quintptr(55)
                                      << QRect(-500, -300, 100, 50) << quintptr(55) << QPoint(0, 0) << 8;
}

void TestPaste::capture()
{
    QFETCH(quintptr, foreground);
    QFETCH(quint32, thread);
    QFETCH(bool, attach);
    QFETCH(bool, caret);
    QFETCH(quintptr, focus);
    QFETCH(QRect, rect);
    QFETCH(quintptr, target);
    QFETCH(QPoint, caretPoint);
    QFETCH(int, calls);

    PopupFixture fixture;
    PopupFixture::resetSettings();
    InputDialog dialog;
    // A target from an earlier show never survives a failed capture.
    script(fixture.platform);
    dialog.captureTarget();
    QCOMPARE(dialog.target(), quintptr(55));

    fixture.platform.foreground = foreground;
    fixture.platform.foregroundThread = thread;
    fixture.platform.attachSucceeds = attach;
    fixture.platform.caretSucceeds = caret;
    fixture.platform.focus = focus;
    fixture.platform.rect = rect;
    fixture.platform.log.clear();
    if (!caret)
        QTest::ignoreMessage(QtDebugMsg, "キャレット座標取得失敗");
    dialog.captureTarget();

    QStringList expected = captured.mid(0, calls);
    for (QString &line : expected)
        line.replace(QStringLiteral(" 42"), QStringLiteral(" %1").arg(foreground))
            .replace(QStringLiteral("1 7 "), QStringLiteral("1 %1 ").arg(thread));
    QCOMPARE(fixture.platform.log, expected);
    QCOMPARE(dialog.target(), target);
    QCOMPARE(dialog.caretPoint(), caretPoint);
    QVERIFY(fixture.platform.injected.isEmpty());
}

void TestPaste::showTakesTheForeground()
{
    PopupFixture fixture;
    PopupFixture::resetSettings({ QStringLiteral("one") });
    script(fixture.platform);
    InputDialog dialog;
    dialog.show();
    const QStringList expected = captured
        + QStringList {
              QStringLiteral("foregroundWindow"),
              QStringLiteral("windowThreadId 42"),
              QStringLiteral("currentThreadId"),
              QStringLiteral("attachThreadInput 7 1 1"),
              QStringLiteral("setForegroundWindow 42"),
          };
    QCOMPARE(fixture.platform.log, expected);
    QCOMPARE(dialog.target(), quintptr(55));

    // Showing an already visible popup captures nothing again.
    fixture.platform.log.clear();
    dialog.showNormal();
    QVERIFY(fixture.platform.log.isEmpty());
}

void TestPaste::enterPastesIntoTarget()
{
    // Something else is on the clipboard before the popup watches it.
    QGuiApplication::clipboard()->setText(QStringLiteral("before the paste"));
    PopupFixture fixture;
    const QStringList history
        = { QStringLiteral("first"), QStringLiteral("  second, untrimmed\n"), QStringLiteral("third") };
    PopupFixture::resetSettings(history);
    script(fixture.platform);
    InputDialog dialog;
    dialog.show();
    QTest::keyClick(lineEdit(dialog), Qt::Key_Down);
    QTRY_COMPARE(table(dialog)->currentIndex().row(), 1);
    fixture.platform.log.clear();

    // The keys go out only after the entry is on the clipboard: it is there
    // at every key (the clipboard's change notice may come later, as on
    // Windows, so the clipboard itself is read at each key).
    fixture.platform.clipboardAtKeys.clear();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before the paste"));
    QTest::keyClick(lineEdit(dialog), Qt::Key_Return);

    QVERIFY(!dialog.isVisible());
    QCOMPARE(QGuiApplication::clipboard()->text(), history.at(1));
    QCOMPARE(fixture.platform.clipboardAtKeys,
        (QStringList { history.at(1), history.at(1), history.at(1), history.at(1) }));
    QCOMPARE(fixture.platform.log, pasted);
    QCOMPARE(fixture.platform.injected,
        (QStringList { QStringLiteral("17 0"), QStringLiteral("86 0"), QStringLiteral("86 2"),
            QStringLiteral("17 2") }));
    // The pasted entry came back through the clipboard watcher to the head
    // (at once with X11, a moment later through the Windows message queue).
    QTRY_COMPARE(dialog.history(), (QStringList { history.at(1), history.at(0), history.at(2) }));
    QCOMPARE(Settings::instance()->history, dialog.history());
}

void TestPaste::doubleClickPastes()
{
    PopupFixture fixture;
    PopupFixture::resetSettings({ QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma") });
    script(fixture.platform);
    InputDialog dialog;
    dialog.show();
    fixture.platform.log.clear();
    TableView *view = table(dialog);
    const QRect cell = view->visualRect(dialog.tableModel()->index(2, 0));
    QVERIFY(cell.isValid());
    // Press, release, double click, release, as the window system delivers
    // a double click.
    const QPoint at = cell.center();
    const QPoint global = view->viewport()->mapToGlobal(at);
    const struct
    {
        QEvent::Type type;
        Qt::MouseButtons buttons;
    } sequence[]
        = { { QEvent::MouseButtonPress, Qt::LeftButton }, { QEvent::MouseButtonRelease, Qt::NoButton },
              { QEvent::MouseButtonDblClick, Qt::LeftButton }, { QEvent::MouseButtonRelease, Qt::NoButton } };
    for (const auto &step : sequence) {
        QMouseEvent event(step.type, at, global, Qt::LeftButton, step.buttons, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &event);
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("gamma"));
    QCOMPARE(fixture.platform.log, pasted);
    QTRY_COMPARE(dialog.history().value(0), QStringLiteral("gamma"));
}

void TestPaste::filteredRowPastesItsEntry()
{
    PopupFixture fixture;
    PopupFixture::resetSettings({ QStringLiteral("apple"), QStringLiteral("banana"), QStringLiteral("cherry"),
        QStringLiteral("blueberry") });
    script(fixture.platform);
    InputDialog dialog;
    dialog.show();
    QTest::keyClicks(lineEdit(dialog), QStringLiteral("rr"));
    QCOMPARE(dialog.tableModel()->rowCount(), 2);
    QTest::keyClick(lineEdit(dialog), Qt::Key_Down);
    QTRY_COMPARE(table(dialog)->currentIndex().row(), 1);
    QTest::keyClick(lineEdit(dialog), Qt::Key_Enter);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("blueberry"));
    QCOMPARE(fixture.platform.injected.size(), 4);
    QTRY_COMPARE(dialog.history().value(0), QStringLiteral("blueberry"));
}

void TestPaste::chordFollowsTarget_data()
{
    QTest::addColumn<QStringList>("classes");  // what the target's window answers
    QTest::addColumn<QString>("userClass");  // a [paste] entry of the user, if any
    QTest::addColumn<int>("userChord");
    QTest::addColumn<quint32>("held");  // a key the user still holds, 0 for none
    QTest::addColumn<QStringList>("keys");

    const QStringList ctrlV { "17 0", "86 0", "86 2", "17 2" };
    const QStringList ctrlShiftV { "17 0", "16 0", "86 0", "86 2", "16 2", "17 2" };
    const QStringList shiftInsert { "16 0", "45 0", "45 2", "16 2" };
    const int none = -1;
    QTest::newRow("Qt window") << QStringList { "targetwindow", "Targetwindow" } << QString() << none << 0u
                               << ctrlV;
    QTest::newRow("window without class") << QStringList() << QString() << none << 0u << ctrlV;
    QTest::newRow("xterm") << QStringList { "xterm", "XTerm" } << QString() << none << 0u << shiftInsert;
    QTest::newRow("gnome terminal") << QStringList { "gnome-terminal-server", "Gnome-terminal" } << QString()
                                    << none << 0u << ctrlShiftV;
    QTest::newRow("mintty's child window")
        << QStringList { "Edit", "mintty" } << QString() << none << 0u << shiftInsert;
    QTest::newRow("Windows console") << QStringList { "ConsoleWindowClass" } << QString() << none << 0u
                                     << ctrlV;
    QTest::newRow("user's own terminal") << QStringList { "myterm", "MyTerm" } << QString("MYTERM")
                                         << int(PasteChords::CtrlShiftV) << 0u << ctrlShiftV;
    QTest::newRow("user overrides xterm")
        << QStringList { "xterm", "XTerm" } << QString("XTerm") << int(PasteChords::CtrlV) << 0u << ctrlV;
    // The keys the user holds are neither released nor pressed again.
    QTest::newRow("Alt held, Qt window") << QStringList { "targetwindow", "Targetwindow" } << QString()
                                         << none << quint32(Keys::VkMenu) << ctrlV;
    QTest::newRow("Right Ctrl held, xterm")
        << QStringList { "xterm", "XTerm" } << QString() << none << Keys::VkRControl << shiftInsert;
    QTest::newRow("Shift held, Qt window") << QStringList { "targetwindow", "Targetwindow" } << QString()
                                           << none << quint32(Keys::VkShift) << ctrlV;
}

void TestPaste::chordFollowsTarget()
{
    QFETCH(QStringList, classes);
    QFETCH(QString, userClass);
    QFETCH(int, userChord);
    QFETCH(quint32, held);
    QFETCH(QStringList, keys);

    PopupFixture fixture;
    PopupFixture::resetSettings({ QStringLiteral("日本語のテキスト"), QStringLiteral("two") });
    if (!userClass.isEmpty())
        Settings::instance()->pasteChords.set(userClass, PasteChords::Chord(userChord));
    script(fixture.platform);
    fixture.platform.classes = classes;
    InputDialog dialog;
    dialog.show();
    fixture.platform.log.clear();
    if (held)
        fixture.platform.keysDown.insert(held);
    QTest::keyClick(lineEdit(dialog), Qt::Key_Return);

    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("日本語のテキスト"));
    if (QGuiApplication::clipboard()->supportsSelection())
        QCOMPARE(
            QGuiApplication::clipboard()->text(QClipboard::Selection), QStringLiteral("日本語のテキスト"));
    // The class is asked of the recorded target; the keys go out after the
    // foreground change, modifiers first, released in the opposite order.
    QCOMPARE(fixture.platform.log.mid(0, 2),
        (QStringList { QStringLiteral("windowClasses 55"), QStringLiteral("setForegroundWindow 55") }));
    QCOMPARE(fixture.platform.injected, keys);
    QCOMPARE(fixture.platform.log.size(), 2 + keys.size());
    QCOMPARE(fixture.platform.keysDown, held ? QSet<quint32> { held } : QSet<quint32>());
}

void TestPaste::noTargetOnlyCopies()
{
    PopupFixture fixture;
    PopupFixture::resetSettings({ QStringLiteral("only copied") });
    script(fixture.platform);
    fixture.platform.attachSucceeds = false;
    InputDialog dialog;
    dialog.show();
    QCOMPARE(dialog.target(), quintptr(0));
    fixture.platform.log.clear();
    QTest::keyClick(lineEdit(dialog), Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("only copied"));
    QVERIFY(fixture.platform.injected.isEmpty());
    QVERIFY(fixture.platform.log.isEmpty());
}

void TestPaste::emptyListOnlyHides()
{
    PopupFixture fixture;
    PopupFixture::resetSettings();
    script(fixture.platform);
    QGuiApplication::clipboard()->setText(QStringLiteral("left alone"));
    InputDialog dialog;
    dialog.show();
    fixture.platform.log.clear();
    QTest::keyClick(lineEdit(dialog), Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    dialog.show();
    fixture.platform.log.clear();
    dialog.on_tableView_doubleClicked(QModelIndex());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("left alone"));
    QVERIFY(fixture.platform.log.isEmpty());
}

QTEST_MAIN(TestPaste)
#include "tst_paste.moc"
