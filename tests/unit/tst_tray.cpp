// The tray icon, its menu, the quit path and the version menu.
// Under the offscreen platform there is no notification area, but the icon
// object exists and keeps its state all the same.

#include "popupfixture.h"

#include "popup/inputdialog.h"
#include "version/verupdialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

// Runs `act` on the first popup menu or modal dialog that comes up, from
// inside its own event loop.
void whenUp(std::function<bool()> act)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (act()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// How many version boxes exist as top-level widgets.
int versionBoxes()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    return int(std::count_if(widgets.begin(), widgets.end(),
        [](QWidget *widget) { return qobject_cast<verupdialog *>(widget) != nullptr; }));
}

bool closePopupMenu()
{
    QWidget *popup = QApplication::activePopupWidget();
    if (!popup)
        return false;
    popup->close();
    return true;
}

}  // namespace

class TestTray : public QObject
{
    Q_OBJECT

private slots:
    void trayIconAndMenu();
    void activation_data();
    void activation();
    void showActionAndMessageShow();
    void versionMenuIsBuiltOnce();
    void versionActionOpensTheBox();
    void quitEndsTheLoopAndSavesNothing();
};

void TestTray::trayIconAndMenu()
{
    PopupFixture fixture;
    PopupFixture::resetSettings();
    InputDialog dialog;
    QSystemTrayIcon *tray = dialog.tray();
    QVERIFY(tray);
    QVERIFY(tray->isVisible());
    QCOMPARE(tray->toolTip(), QStringLiteral("Quillet"));
    QVERIFY(drawsImage(tray->icon()));
    QVERIFY(drawsImage(dialog.windowIcon()));
    QCOMPARE(tray->contextMenu(), dialog.trayContextMenu());
    QCOMPARE(tray->parent(), &dialog);

    const QList<QAction *> actions = dialog.trayContextMenu()->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("画面表示"));
    QVERIFY(drawsImage(actions.at(0)->icon()));
    QVERIFY(actions.at(1)->isSeparator());
    QCOMPARE(actions.at(2)->text(), QStringLiteral("終了"));
    QVERIFY(drawsImage(actions.at(2)->icon()));
    QVERIFY(!dialog.aboutMenu());
}

void TestTray::activation_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("shows");
    QTest::newRow("single click") << int(QSystemTrayIcon::Trigger) << true;
    QTest::newRow("context") << int(QSystemTrayIcon::Context) << false;
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << false;
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << false;
    QTest::newRow("unknown") << int(QSystemTrayIcon::Unknown) << false;
}

void TestTray::activation()
{
    QFETCH(int, reason);
    QFETCH(bool, shows);
    PopupFixture fixture;
    PopupFixture::resetSettings({ QStringLiteral("entry") });
    InputDialog dialog;
    emit dialog.tray()->activated(QSystemTrayIcon::ActivationReason(reason));
    QCOMPARE(dialog.isVisible(), shows);
    // A show from the tray captures the target like the hot key does.
    QCOMPARE(fixture.platform.log.contains(QStringLiteral("foregroundWindow")), shows);
}

void TestTray::showActionAndMessageShow()
{
    PopupFixture fixture;
    PopupFixture::resetSettings();
    InputDialog dialog;
    dialog.trayContextMenu()->actions().at(0)->trigger();
    QVERIFY(dialog.isVisible());
    dialog.hide();
    emit dialog.tray()->messageClicked();
    QVERIFY(dialog.isVisible());
}

void TestTray::versionMenuIsBuiltOnce()
{
    PopupFixture fixture;
    PopupFixture::resetSettings();
    InputDialog dialog;
    dialog.show();
    auto *about = dialog.findChild<QPushButton *>(QStringLiteral("btnAbout"));
    QVERIFY(about);

    whenUp(closePopupMenu);
    about->click();
    QMenu *menu = dialog.aboutMenu();
    QVERIFY(menu);
    whenUp(closePopupMenu);
    about->click();
    QCOMPARE(dialog.aboutMenu(), menu);

    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("(&V) バージョン"));
    QCOMPARE(actions.at(0)->statusTip(), QStringLiteral("バージョン表示"));
    QVERIFY(drawsImage(actions.at(0)->icon()));
    QCOMPARE(actions.at(1)->text(), QStringLiteral("(&Q) Ｑｔ について"));
    QCOMPARE(actions.at(1)->statusTip(), QStringLiteral(" Ｑｔ ライブラリについて"));
    QVERIFY(drawsImage(actions.at(1)->icon()));
    // The popup stays as it was.
    QVERIFY(dialog.isVisible());
}

void TestTray::versionActionOpensTheBox()
{
    PopupFixture fixture;
    PopupFixture::resetSettings();
    InputDialog dialog;
    whenUp(closePopupMenu);
    dialog.on_btnAbout_clicked();

    QString text;
    QString title;
    int boxesWhileOpen = 0;
    whenUp([&] {
        auto *box = qobject_cast<verupdialog *>(QApplication::activeModalWidget());
        if (!box)
            return false;
        boxesWhileOpen = versionBoxes();
        text = box->findChild<QLabel *>(QStringLiteral("lblVertext"))->text();
        title = box->windowTitle();
        box->findChild<QPushButton *>(QStringLiteral("btnOk"))->click();
        return true;
    });
    dialog.aboutMenu()->actions().at(0)->trigger();
    QCOMPARE(title, QStringLiteral("Version"));
    QVERIFY(text.endsWith(QStringLiteral("quillet ver 1.00")));
    // The box is gone after use. It has no parent, so it is looked for
    // among the top-level widgets (where it was found while open).
    QCOMPARE(boxesWhileOpen, 1);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(versionBoxes(), 0);
}

void TestTray::quitEndsTheLoopAndSavesNothing()
{
    PopupFixture fixture;
    PopupFixture::resetSettings({ QStringLiteral("entry") });
    InputDialog dialog;
    dialog.show();
    dialog.resize(900, 600);  // lost: nothing is saved at quit

    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(5000);
    QTimer::singleShot(0, dialog.trayContextMenu()->actions().at(2), &QAction::trigger);
    const int code = QApplication::exec();
    watchdog.stop();

    QCOMPARE(code, 0);
    QVERIFY(!dialog.tray()->isVisible());
    QCOMPARE(QDir(fixture.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(Settings::instance()->size, QSize(700, 500));
}

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
