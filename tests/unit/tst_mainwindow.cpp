// The hidden main window: form, popup ownership and the hook installation.
#include "app/mainwindow.h"
#include "platform/fakeplatform.h"
#include "popup/inputdialog.h"
#include "settings/appdir.h"
#include "settings/settings.h"

#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    FakePlatform platform;

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        AppDir::setOverride(home.path());
        Settings::instance()->load();
        Platform::setInstance(&platform);
    }

    void cleanupTestCase() { Platform::setInstance(nullptr); }

    void construction()
    {
        platform.log.clear();
        auto *window = new MainWindow(nullptr);
        QCOMPARE(mainWindow, window);
        QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(window->windowTitle(), QStringLiteral("MainWindow"));
        QVERIFY(window->findChild<QMenuBar *>(QStringLiteral("menuBar")));
        QVERIFY(window->findChild<QToolBar *>(QStringLiteral("mainToolBar")));
        QVERIFY(window->findChild<QWidget *>(QStringLiteral("centralWidget")));
        QVERIFY(window->findChild<QStatusBar *>(QStringLiteral("statusBar")));
        QCOMPARE(window->tapCount, 0);
        QCOMPARE(window->lastTapTime, 0u);

        // The hook is installed once.
        QCOMPARE(platform.log.count(QStringLiteral("installKeyboardHook")), 1);
        QVERIFY(platform.hookProc);
        QPointer<InputDialog> popup = window->popup();
        QVERIFY(popup);
        QVERIFY(!popup->parent());
        QVERIFY(popup->isWindow());
        QVERIFY(!popup->isVisible());
        QVERIFY(!window->isVisible());

        // Every key event is passed on to the next hook.
        platform.log.clear();
        QCOMPARE(platform.sendKey(Keys::KeyDownMessage, 'A'), platform.nextHookResult);
        QCOMPARE(platform.log, QStringList { QStringLiteral("callNextHook 0 256") });

        // The main window owns the popup.
        delete window;
        QVERIFY(popup.isNull());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
