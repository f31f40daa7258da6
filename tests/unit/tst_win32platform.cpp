// The Windows platform layer against the real system (run under Wine in CI):
// the hook runs on a thread of its own, sees injected keys with their
// records even while the GUI thread is busy, passes every key on, and its
// thread ends with it; the window queries agree with what Qt knows about
// its own windows.
#include "background/workerthread.h"
#include "platform/platform.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest>

#include <atomic>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace {

struct SeenKey
{
    int code;
    quintptr message;
    quint32 vk;
    quint32 flags;
    quint32 thread;
};

// Kept on the GUI thread; the hook hands its records over.
QVector<SeenKey> seenKeys;
// Counted on the hook's thread, so that a test can tell whether the hook
// ran while the GUI thread could not.
std::atomic<int> hookCalls { 0 };

qintptr recordingHook(int code, quintptr message, qintptr record)
{
    const auto *key = reinterpret_cast<const KeyboardRecord *>(record);
    const SeenKey seen { code, message, key->vkCode, key->flags, Platform::instance()->currentThreadId() };
    ++hookCalls;
    QMetaObject::invokeMethod(
        qApp, [seen] { seenKeys.append(seen); }, Qt::QueuedConnection);
    return Platform::instance()->callNextHook(0, code, message, record);
}

#ifdef Q_OS_WIN
// A hook of another program, installed before ours: it sees a key only if
// ours passed it on.
QVector<quint32> earlierHookKeys;

LRESULT CALLBACK earlierHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION)
        earlierHookKeys.append(reinterpret_cast<const KBDLLHOOKSTRUCT *>(lParam)->vkCode);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
#endif

// An active window of this process, so that the injected keys have
// somewhere to go.
class ActiveWindow : public QWidget
{
public:
    ActiveWindow()
    {
        auto *layout = new QVBoxLayout(this);
        edit = new QLineEdit(this);
        layout->addWidget(edit);
        setGeometry(200, 150, 240, 100);
        show();
        activateWindow();
        edit->setFocus();
    }
    QLineEdit *edit;
};

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
    void hookRunsWhileGuiThreadIsBusy();
    void hookPassesEveryKeyOn();
    void removingTheHookEndsItsThread();
    void cleanup();

private:
    static void injectTap(quint32 vk);
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

void TestWin32Platform::cleanup()
{
    // Records the hook handed over before it was removed are in the queue.
    QCoreApplication::sendPostedEvents();
    seenKeys.clear();
    hookCalls = 0;
}

void TestWin32Platform::injectTap(quint32 vk)
{
    Platform::instance()->injectKey(vk, 0);
    Platform::instance()->injectKey(vk, Keys::KeyEventKeyUp);
}

void TestWin32Platform::hookSeesInjectedKeys()
{
    QFETCH(quint32, vk);
    Platform *platform = Platform::instance();
    const Platform::HookHandle hook = platform->installKeyboardHook(recordingHook);
    QVERIFY(hook != 0);
    // One hook per process: asking again gives the same one.
    QCOMPARE(platform->installKeyboardHook(recordingHook), hook);

    ActiveWindow window;
    QVERIFY(QTest::qWaitForWindowActive(&window));

    seenKeys.clear();
    injectTap(vk);
    QTRY_COMPARE(seenKeys.size(), 2);
    platform->removeKeyboardHook(hook);

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
    // Called on a thread of its own, not on the GUI thread.
    QVERIFY(seenKeys[0].thread != 0);
    QVERIFY(seenKeys[0].thread != platform->currentThreadId());
    QCOMPARE(seenKeys[1].thread, seenKeys[0].thread);
}

void TestWin32Platform::hookRunsWhileGuiThreadIsBusy()
{
    Platform *platform = Platform::instance();
    const Platform::HookHandle hook = platform->installKeyboardHook(recordingHook);
    QVERIFY(hook != 0);
    ActiveWindow window;
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // Keys typed on another thread while the GUI thread is busy and pumps
    // no messages: the hook sees them at once, not after the GUI thread.
    auto *typist = new QObject;
    WorkerThread typing(typist, QStringLiteral("test typist"));
    QElapsedTimer typed;
    typed.start();
    std::atomic<qint64> typingMs { -1 };
    QMetaObject::invokeMethod(
        typist,
        [&typed, &typingMs] {
            injectTap(Keys::VkRControl);
            typingMs = typed.elapsed();
        },
        Qt::QueuedConnection);
    QThread::msleep(1500);
    QCOMPARE(hookCalls.load(), 2);
    // Nobody waited for the GUI thread: the key strokes went through at once.
    QVERIFY2(typingMs >= 0 && typingMs < 1000, qPrintable(QString::number(typingMs)));
    QTRY_COMPARE(seenKeys.size(), 2);
    QVERIFY(seenKeys[0].thread != platform->currentThreadId());
    platform->removeKeyboardHook(hook);
}

void TestWin32Platform::hookPassesEveryKeyOn()
{
#ifdef Q_OS_WIN
    earlierHookKeys.clear();
    HHOOK earlier = SetWindowsHookExW(WH_KEYBOARD_LL, earlierHook, GetModuleHandleW(nullptr), 0);
    QVERIFY(earlier != nullptr);
    Platform *platform = Platform::instance();
    const Platform::HookHandle hook = platform->installKeyboardHook(recordingHook);
    QVERIFY(hook != 0);
    ActiveWindow window;
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_VERIFY(window.edit->hasFocus());

    injectTap(Keys::VkV);
    injectTap(Keys::VkRControl);
    // Ours saw them, the hook after ours too, and the focused field got the
    // letter: nothing was swallowed.
    QTRY_COMPARE(seenKeys.size(), 4);
    QTRY_COMPARE(
        earlierHookKeys, QVector<quint32>({ Keys::VkV, Keys::VkV, Keys::VkRControl, Keys::VkRControl }));
    QTRY_COMPARE(window.edit->text(), QStringLiteral("v"));
    platform->removeKeyboardHook(hook);
    UnhookWindowsHookEx(earlier);
#endif
}

void TestWin32Platform::removingTheHookEndsItsThread()
{
#ifdef Q_OS_WIN
    Platform *platform = Platform::instance();
    const Platform::HookHandle hook = platform->installKeyboardHook(recordingHook);
    QVERIFY(hook != 0);
    ActiveWindow window;
    QVERIFY(QTest::qWaitForWindowActive(&window));
    injectTap(Keys::VkLControl);
    QTRY_COMPARE(seenKeys.size(), 2);
    const quint32 hookThread = seenKeys[0].thread;

    platform->removeKeyboardHook(hook);
    // The thread is gone once the removal returns.
    HANDLE handle = OpenThread(SYNCHRONIZE, FALSE, hookThread);
    if (handle) {
        QCOMPARE(WaitForSingleObject(handle, 100), DWORD(WAIT_OBJECT_0));
        CloseHandle(handle);
    }
    // And the procedure is not called any more.
    hookCalls = 0;
    injectTap(Keys::VkLControl);
    QTest::qWait(300);
    QCOMPARE(hookCalls.load(), 0);
    // A new hook can be installed afterwards.
    const Platform::HookHandle again = platform->installKeyboardHook(recordingHook);
    QVERIFY(again != 0);
    injectTap(Keys::VkLControl);
    QTRY_COMPARE(hookCalls.load(), 2);
    platform->removeKeyboardHook(again);
#endif
}

QTEST_MAIN(TestWin32Platform)
#include "tst_win32platform.moc"
