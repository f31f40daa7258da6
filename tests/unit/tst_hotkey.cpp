// The Right Ctrl double-tap detector behind the global keyboard hook, driven
// through the hook procedure with scripted key events and ticks.
#include "app/keyboardhook.h"
#include "app/mainwindow.h"
#include "platform/fakeplatform.h"
#include "popup/inputdialog.h"
#include "settings/appdir.h"
#include "settings/settings.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QThread>

#include <atomic>
#include <thread>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Notes every show of the popup in the fake platform's call log, so that the
// order of showing and passing the event on can be checked.
class ShowRecorder : public QObject
{
public:
    ShowRecorder(FakePlatform *fake, QObject *parent)
        : QObject(parent)
        , fake(fake)
    { }
    int shows = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            ++shows;
            fake->log << QStringLiteral("popup shown");
        }
        return false;
    }

private:
    FakePlatform *fake;
};

struct ScriptedEvent
{
    int code = Keys::HookAction;
    quintptr message = 0;
    quint32 vk = 0;
    quint32 tick = 0;
};

// A script is a list of events separated by spaces, each KIND VK @ TICK:
// d/u key down/up, sd/su system key down/up (Alt held), xd/xu a key
// down/up under a hook code other than HC_ACTION.
QVector<ScriptedEvent> parseScript(const QString &script)
{
    QVector<ScriptedEvent> events;
    const QStringList tokens = script.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QRegularExpression pattern(QStringLiteral("^(d|u|sd|su|xd|xu)(\\d+)@(\\d+)$"));
    for (const QString &token : tokens) {
        const QRegularExpressionMatch match = pattern.match(token);
        if (!match.hasMatch()) {
            qWarning("bad script token %s", qPrintable(token));
            return {};
        }
        const QString kind = match.captured(1);
        ScriptedEvent event;
        event.vk = match.captured(2).toUInt();
        event.tick = match.captured(3).toUInt();
        const bool down = kind.endsWith(QLatin1Char('d'));
        if (kind.startsWith(QLatin1Char('s')))
            event.message = down ? Keys::SysKeyDownMessage : Keys::SysKeyUpMessage;
        else
            event.message = down ? Keys::KeyDownMessage : Keys::KeyUpMessage;
        if (kind.startsWith(QLatin1Char('x')))
            event.code = 3;
        events.append(event);
    }
    return events;
}

QStringList nextHookCalls(const QStringList &log)
{
    QStringList calls;
    for (const QString &line : log) {
        if (line.startsWith(QLatin1String("callNextHook")))
            calls << line;
    }
    return calls;
}
}  // namespace

class TestHotkey : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hookInstalledAtConstruction();
    void doubleTapWhileBuildingShowsAfter();
    void detector_data();
    void detector();
    void tickWrapAround_data();
    void tickWrapAround();
    void tapWhileVisibleShowsNothingNew();
    void eventPassedOnBeforePopupShown();
    void hookOnAnotherThreadShowsOnGuiThread();
    void everyEventPassedOn_data();
    void everyEventPassedOn();
    void wholeDoubleTapPassedOn();

private:
    // Sends the script's events one by one; returns the indices of the
    // events after which the popup appeared (it is hidden again each time,
    // so that every show can be seen).
    QList<int> play(const QString &script);

    QTemporaryDir dir;
    FakePlatform *fake = nullptr;
    MainWindow *window = nullptr;
    ShowRecorder *recorder = nullptr;
};

void TestHotkey::init()
{
    QVERIFY(dir.isValid());
    AppDir::setOverride(dir.path());
    *Settings::instance() = Settings();
    fake = new FakePlatform;
    Platform::setInstance(fake);
    window = new MainWindow(nullptr);
    QCOMPARE(mainWindow, window);
    QVERIFY(window->popup());
    recorder = new ShowRecorder(fake, window);
    window->popup()->installEventFilter(recorder);
}

void TestHotkey::cleanup()
{
    delete window;
    window = nullptr;
    Platform::setInstance(nullptr);
    delete fake;
    fake = nullptr;
    AppDir::setOverride(QString());
}

QList<int> TestHotkey::play(const QString &script)
{
    const QVector<ScriptedEvent> events = parseScript(script);
    if (events.isEmpty())
        qFatal("empty or bad script: %s", qPrintable(script));
    QList<int> shownAfter;
    for (int i = 0; i < events.size(); ++i) {
        const ScriptedEvent &event = events.at(i);
        fake->tick = event.tick;
        fake->sendKey(event.message, event.vk, event.code);
        // The hook only asks for the show; the GUI thread does it when it
        // next handles its events.
        QCoreApplication::processEvents();
        if (window->popup()->isVisible()) {
            shownAfter << i;
            window->popup()->hide();
        }
    }
    return shownAfter;
}

void TestHotkey::hookInstalledAtConstruction()
{
    QVERIFY(fake->hookProc == &keyboardHookProc);
    QVERIFY(fake->log.contains(QStringLiteral("installKeyboardHook")));
    QCOMPARE(window->tapCount, 0);
    QCOMPARE(window->lastTapTime, 0u);
    QVERIFY(!window->popup()->isVisible());
}

void TestHotkey::detector_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QList<int>>("shownAfter");
    QTest::addColumn<int>("tapCount");
    QTest::addColumn<quint32>("lastTapTime");

    // One row per transition of the detector.
    QTest::newRow("other key down resets") << "u163@1000 d65@1010" << QList<int>() << 0 << 1000u;
    QTest::newRow("right ctrl down changes nothing") << "u163@1000 d163@1100" << QList<int>() << 1 << 1000u;
    QTest::newRow("other key up resets") << "u163@1000 u65@1100" << QList<int>() << 0 << 1000u;
    QTest::newRow("first release") << "u163@1000" << QList<int>() << 1 << 1000u;
    QTest::newRow("quick second release shows") << "u163@1000 u163@1500" << QList<int> { 1 } << 0 << 0u;
    QTest::newRow("slow second release") << "u163@1000 u163@1700" << QList<int>() << 2 << 1000u;
    QTest::newRow("release after slow pair resets")
        << "u163@1000 u163@1700 u163@1750" << QList<int>() << 0 << 1000u;
    QTest::newRow("system keys change nothing in state 1")
        << "u163@1000 sd65@1100 su65@1150 sd163@1200 su163@1250" << QList<int>() << 1 << 1000u;
    QTest::newRow("system keys change nothing in state 2")
        << "u163@1000 u163@1700 sd163@1750 su163@1760" << QList<int>() << 2 << 1000u;
    QTest::newRow("other hook codes change nothing")
        << "u163@1000 xd65@1100 xu65@1150 xu163@1200" << QList<int>() << 1 << 1000u;

    // Edges of the tap window and of the press.
    QTest::newRow("699 ms shows") << "d163@1000 u163@1000 d163@1600 u163@1699" << QList<int> { 3 } << 0 << 0u;
    QTest::newRow("700 ms does not") << "d163@1000 u163@1000 d163@1600 u163@1700" << QList<int>() << 2
                                     << 1000u;
    QTest::newRow("long holds do not matter")
        << "d163@1000 d163@1500 d163@1530 d163@4000 u163@9000 d163@9100 d163@9130 d163@9600 u163@9650"
        << QList<int> { 8 } << 0 << 0u;
    QTest::newRow("tick zero is a tap like any other") << "u163@0 u163@699" << QList<int> { 1 } << 0 << 0u;

    // Keys between the taps.
    QTest::newRow("other key between taps")
        << "d163@1000 u163@1050 d65@1100 u65@1150 d163@1200 u163@1250" << QList<int>() << 1 << 1250u;
    QTest::newRow("left ctrl never counts")
        << "d162@1000 u162@1050 d162@1100 u162@1150" << QList<int>() << 0 << 0u;
    QTest::newRow("left ctrl resets")
        << "d163@1000 u163@1050 d162@1100 u162@1150 d163@1200 u163@1250" << QList<int>() << 1 << 1250u;
    QTest::newRow("chord right ctrl+c, then one tap")
        << "d163@1000 d67@1050 u67@1100 u163@1200 d163@1400 u163@1500" << QList<int> { 5 } << 0 << 0u;
    QTest::newRow("alt-held taps neither count nor reset")
        << "d163@1000 u163@1050 sd164@1100 sd163@1150 su163@1200 su164@1250 d163@1300 u163@1350"
        << QList<int> { 7 } << 0 << 0u;
    QTest::newRow("alt-held pair alone shows nothing")
        << "sd164@1000 sd163@1050 su163@1100 sd163@1150 su163@1200 su164@1250" << QList<int>() << 0 << 0u;

    // Runs of taps.
    QTest::newRow("three quick taps") << "u163@1000 u163@1100 u163@1200" << QList<int> { 1 } << 1 << 1200u;
    QTest::newRow("five quick taps") << "u163@1000 u163@1100 u163@1200 u163@1300 u163@1400"
                                     << QList<int> { 1, 3 } << 1 << 1400u;
    QTest::newRow("slow pair, then quick taps")
        << "u163@1000 u163@1800 u163@1850 u163@1900 u163@2000" << QList<int> { 4 } << 0 << 0u;
}

void TestHotkey::detector()
{
    QFETCH(QString, script);
    QFETCH(QList<int>, shownAfter);
    QFETCH(int, tapCount);
    QFETCH(quint32, lastTapTime);

    QCOMPARE(play(script), shownAfter);
    QCOMPARE(window->tapCount, tapCount);
    QCOMPARE(window->lastTapTime, lastTapTime);
}

void TestHotkey::tickWrapAround_data()
{
    QTest::addColumn<quint32>("first");
    QTest::addColumn<quint32>("second");
    QTest::addColumn<bool>("shown");

    QTest::newRow("443 ms across the wrap") << 0xFFFFFF00u << 0x000001BBu << true;
    QTest::newRow("699 ms across the wrap") << 0xFFFFFFFFu << 698u << true;
    QTest::newRow("700 ms across the wrap") << 0xFFFFFFFFu << 699u << false;
    QTest::newRow("699 ms just before the wrap") << 0xFFFFFD00u << 0xFFFFFFBBu << true;
    QTest::newRow("second before first is a long gap") << 1000u << 999u << false;
}

void TestHotkey::tickWrapAround()
{
    QFETCH(quint32, first);
    QFETCH(quint32, second);
    QFETCH(bool, shown);

    const QString script = QStringLiteral("u163@%1 u163@%2").arg(first).arg(second);
    QCOMPARE(!play(script).isEmpty(), shown);
    QCOMPARE(window->tapCount, shown ? 0 : 2);
    QCOMPARE(window->lastTapTime, shown ? 0u : first);
}

// The hot key works from the moment the tray icon is up: a double tap while
// the popup is still being built shows it once the build is done.
void TestHotkey::doubleTapWhileBuildingShowsAfter()
{
    delete window;
    fake->tick = 5000;
    fake->doubleTapAtWatchStart = true;
    window = new MainWindow(nullptr);
    QVERIFY(!window->popup()->isVisible());
    QCoreApplication::processEvents();
    QVERIFY(window->popup()->isVisible());
    QCOMPARE(window->tapCount, 0);
}

void TestHotkey::tapWhileVisibleShowsNothingNew()
{
    fake->tick = 1000;
    fake->sendKey(Keys::KeyUpMessage, Keys::VkRControl);
    fake->tick = 1200;
    fake->sendKey(Keys::KeyUpMessage, Keys::VkRControl);
    QCoreApplication::processEvents();
    QVERIFY(window->popup()->isVisible());
    QCOMPARE(recorder->shows, 1);

    // The second double tap still completes and resets the detector, but the
    // popup, already visible, gets no new show.
    fake->log.clear();
    fake->tick = 2000;
    fake->sendKey(Keys::KeyUpMessage, Keys::VkRControl);
    fake->tick = 2100;
    fake->sendKey(Keys::KeyUpMessage, Keys::VkRControl);
    QCoreApplication::processEvents();
    QVERIFY(window->popup()->isVisible());
    QCOMPARE(recorder->shows, 1);
    QCOMPARE(window->tapCount, 0);
    QCOMPARE(window->lastTapTime, 0u);
    // Nothing but the two events passed on: no new target capture.
    QCOMPARE(fake->log,
        QStringList({ QStringLiteral("callNextHook 0 257"), QStringLiteral("callNextHook 0 257") }));
}

void TestHotkey::eventPassedOnBeforePopupShown()
{
    fake->tick = 1000;
    fake->sendKey(Keys::KeyDownMessage, Keys::VkRControl);
    fake->sendKey(Keys::KeyUpMessage, Keys::VkRControl);
    fake->tick = 1300;
    fake->sendKey(Keys::KeyDownMessage, Keys::VkRControl);
    fake->log.clear();
    fake->sendKey(Keys::KeyUpMessage, Keys::VkRControl);
    // The hook returned at once: nothing of the show ran inside it.
    QCOMPARE(fake->log, QStringList(QStringLiteral("callNextHook 0 257")));
    QVERIFY(!window->popup()->isVisible());
    QCoreApplication::processEvents();
    QVERIFY(window->popup()->isVisible());
    QCOMPARE(fake->log.count(QStringLiteral("popup shown")), 1);
    // The target is captured by the show, on the GUI thread, after the event.
    QVERIFY(fake->log.indexOf(QStringLiteral("foregroundWindow")) > 0);
}

void TestHotkey::hookOnAnotherThreadShowsOnGuiThread()
{
    // On a real desktop the hook runs on a thread of its own; a busy GUI
    // thread must not hold it up, and the show still happens on the GUI
    // thread once it is free.
    std::atomic<qint64> hookMs { -1 };
    std::thread hookThread([this, &hookMs] {
        QElapsedTimer hookTime;
        hookTime.start();
        fake->tick = 5000;
        fake->sendKey(Keys::KeyUpMessage, Keys::VkRControl);
        fake->tick = 5100;
        fake->sendKey(Keys::KeyUpMessage, Keys::VkRControl);
        hookMs = hookTime.elapsed();
    });
    // The GUI thread does not handle events until the hook is done.
    hookThread.join();
    QVERIFY(hookMs >= 0 && hookMs < 1000);
    QVERIFY(!window->popup()->isVisible());
    QTRY_VERIFY(window->popup()->isVisible());
    QCOMPARE(recorder->shows, 1);
}

void TestHotkey::everyEventPassedOn_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<quintptr>("message");
    QTest::addColumn<quint32>("vk");

    QTest::newRow("right ctrl down") << Keys::HookAction << Keys::KeyDownMessage << Keys::VkRControl;
    QTest::newRow("right ctrl up") << Keys::HookAction << Keys::KeyUpMessage << Keys::VkRControl;
    QTest::newRow("letter down") << Keys::HookAction << Keys::KeyDownMessage << Keys::VkV;
    QTest::newRow("letter up") << Keys::HookAction << Keys::KeyUpMessage << Keys::VkV;
    QTest::newRow("system key down") << Keys::HookAction << Keys::SysKeyDownMessage << Keys::VkRControl;
    QTest::newRow("system key up") << Keys::HookAction << Keys::SysKeyUpMessage << Keys::VkRControl;
    QTest::newRow("unknown message") << Keys::HookAction << quintptr(0x0200) << Keys::VkRControl;
    QTest::newRow("other hook code") << 3 << Keys::KeyUpMessage << Keys::VkRControl;
    QTest::newRow("negative hook code") << -1 << Keys::KeyUpMessage << Keys::VkRControl;
}

void TestHotkey::everyEventPassedOn()
{
    QFETCH(int, code);
    QFETCH(quintptr, message);
    QFETCH(quint32, vk);

    fake->log.clear();
    QCOMPARE(fake->sendKey(message, vk, code), fake->nextHookResult);
    QCOMPARE(
        nextHookCalls(fake->log), QStringList(QStringLiteral("callNextHook %1 %2").arg(code).arg(message)));
}

void TestHotkey::wholeDoubleTapPassedOn()
{
    play(QStringLiteral("d163@1000 u163@1000 sd164@1100 su164@1150 xu65@1160 d163@1200 u163@1300"));
    QCOMPARE(nextHookCalls(fake->log),
        QStringList({ QStringLiteral("callNextHook 0 256"), QStringLiteral("callNextHook 0 257"),
            QStringLiteral("callNextHook 0 260"), QStringLiteral("callNextHook 0 261"),
            QStringLiteral("callNextHook 3 257"), QStringLiteral("callNextHook 0 256"),
            QStringLiteral("callNextHook 0 257") }));
}

QTEST_MAIN(TestHotkey)
#include "tst_hotkey.moc"
