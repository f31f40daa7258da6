// The Windows platform layer against the real system (run under Wine in CI):
// the hook sees injected keys with their records, and the window queries
// agree with what Qt knows about its own windows.
#include "platform/platform.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest>

namespace {

struct SeenKey
{
    int code;
    quintptr message;
    quint32 vk;
    quint32 flags;
};

QVector<SeenKey> seenKeys;

qintptr recordingHook(int code, quintptr message, qintptr record)
{
    const auto *key = reinterpret_cast<const KeyboardRecord *>(record);
    seenKeys.append({ code, message, key->vkCode, key->flags });
    return Platform::instance()->callNextHook(0, code, message, record);
}

}  // namespace

class TestWin32Platform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tickCountFollowsTheClock();
    void windowQueriesMatchQt();
    void threadCannotAttachToItself();
    void hookSeesInjectedKeys_data();
    void hookSeesInjectedKeys();
};

void TestWin32Platform::initTestCase()
{
#ifndef Q_OS_WIN
    QSKIP("the Win32 platform layer exists on Windows only");
#endif
}

void TestWin32Platform::tickCountFollowsTheClock()
{
    Platform *platform = Platform::instance();
    const quint32 before = platform->tickCount();
    QElapsedTimer timer;
    timer.start();
    QThread::msleep(120);
    const quint32 elapsed = platform->tickCount() - before;
    // The system tick has a coarse resolution (10 to 16 ms on Windows).
    QVERIFY2(elapsed >= 90 && elapsed <= quint32(timer.elapsed()) + 40, qPrintable(QString::number(elapsed)));
}

void TestWin32Platform::windowQueriesMatchQt()
{
    Platform *platform = Platform::instance();
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *edit = new QLineEdit(&window);
    layout->addWidget(edit);
    window.setGeometry(200, 150, 320, 120);
    window.show();
    window.activateWindow();
    edit->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    const auto id = Platform::WindowId(window.winId());
    QVERIFY(id != 0);
    QVERIFY(platform->currentThreadId() != 0);
    QCOMPARE(platform->windowThreadId(id), platform->currentThreadId());
    QCOMPARE(platform->windowThreadId(0), 0u);

    QTRY_COMPARE(platform->foregroundWindow(), id);
    // Qt's child widgets are not native windows: the focus is the top level.
    QCOMPARE(platform->focusWindow(), id);

    QRect rect;
    QVERIFY(platform->windowRect(id, &rect));
    QCOMPARE(rect, window.frameGeometry());
    QVERIFY(!platform->windowRect(0, &rect));

    QWidget other;
    other.setGeometry(600, 150, 200, 100);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QVERIFY(platform->setForegroundWindow(Platform::WindowId(other.winId())));
    QTRY_COMPARE(platform->foregroundWindow(), Platform::WindowId(other.winId()));
    QVERIFY(platform->setForegroundWindow(id));
    QTRY_COMPARE(platform->foregroundWindow(), id);
    QVERIFY(!platform->setForegroundWindow(0));
}

void TestWin32Platform::threadCannotAttachToItself()
{
    Platform *platform = Platform::instance();
    const quint32 self = platform->currentThreadId();
    QVERIFY(!platform->attachThreadInput(self, self, true));
}

void TestWin32Platform::hookSeesInjectedKeys_data()
{
    QTest::addColumn<quint32>("vk");
    QTest::newRow("right ctrl") << Keys::VkRControl;
    QTest::newRow("left ctrl") << Keys::VkLControl;
    QTest::newRow("v") << Keys::VkV;
}

void TestWin32Platform::hookSeesInjectedKeys()
{
    QFETCH(quint32, vk);
    Platform *platform = Platform::instance();
    static Platform::HookHandle hook = platform->installKeyboardHook(recordingHook);
    QVERIFY(hook != 0);

    QWidget window;
    window.setGeometry(200, 150, 200, 100);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    seenKeys.clear();
    platform->injectKey(vk, 0);
    platform->injectKey(vk, Keys::KeyEventKeyUp);
    QTRY_COMPARE(seenKeys.size(), 2);

    // LLKHF_INJECTED on both, LLKHF_UP on the release.
    const quint32 injected = 0x10, up = 0x80;
    QCOMPARE(seenKeys[0].code, Keys::HookAction);
    QCOMPARE(seenKeys[0].message, Keys::KeyDownMessage);
    QCOMPARE(seenKeys[0].vk, vk);
    QVERIFY(seenKeys[0].flags & injected);
    QVERIFY(!(seenKeys[0].flags & up));
    QCOMPARE(seenKeys[1].code, Keys::HookAction);
    QCOMPARE(seenKeys[1].message, Keys::KeyUpMessage);
    QCOMPARE(seenKeys[1].vk, vk);
    QVERIFY(seenKeys[1].flags & injected);
    QVERIFY(seenKeys[1].flags & up);
}

QTEST_MAIN(TestWin32Platform)
#include "tst_win32platform.moc"
