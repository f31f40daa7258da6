// The display-independent half of the X11 platform layer: the translation
// between keysyms and virtual keys, the hook messages and record flags, and
// the thread and caret answers. The parts that talk to an X server are
// proven by the end-to-end tests.
#include "platform/platform.h"
#include "platform/x11keymap.h"
#include "platform/x11platform.h"

#include <QElapsedTimer>
#include <QtTest>

#include <X11/X.h>
#include <X11/keysym.h>

class TestX11Platform : public QObject
{
    Q_OBJECT

private slots:
    void virtualKeyOfKeysym_data();
    void virtualKeyOfKeysym();
    void keysymOfVirtualKey_data();
    void keysymOfVirtualKey();
    void injectedKeysComeBackAsTheirVirtualKey();
    void message_data();
    void message();
    void recordFlags_data();
    void recordFlags();
    void threadAttachment_data();
    void threadAttachment();
    void noSystemCaret();
    void tickCountFollowsTheClock();
};

void TestX11Platform::virtualKeyOfKeysym_data()
{
    QTest::addColumn<quint64>("keysym");
    QTest::addColumn<quint32>("vk");

    QTest::newRow("Control_R") << quint64(XK_Control_R) << Keys::VkRControl;
    QTest::newRow("Control_L") << quint64(XK_Control_L) << Keys::VkLControl;
    QTest::newRow("Shift_L") << quint64(XK_Shift_L) << 160u;
    QTest::newRow("Shift_R") << quint64(XK_Shift_R) << 161u;
    QTest::newRow("Alt_L") << quint64(XK_Alt_L) << 164u;
    QTest::newRow("Alt_R") << quint64(XK_Alt_R) << 165u;
    QTest::newRow("a") << quint64(XK_a) << quint32('A');
    QTest::newRow("V") << quint64(XK_V) << Keys::VkV;
    QTest::newRow("z") << quint64(XK_z) << quint32('Z');
    QTest::newRow("0") << quint64(XK_0) << quint32('0');
    QTest::newRow("9") << quint64(XK_9) << quint32('9');
    QTest::newRow("F1") << quint64(XK_F1) << 0x70u;
    QTest::newRow("F24") << quint64(XK_F24) << 0x87u;
    QTest::newRow("Return") << quint64(XK_Return) << 0x0Du;
    QTest::newRow("KP_Enter") << quint64(XK_KP_Enter) << 0x0Du;
    QTest::newRow("Escape") << quint64(XK_Escape) << 0x1Bu;
    QTest::newRow("space") << quint64(XK_space) << 0x20u;
    QTest::newRow("Down") << quint64(XK_Down) << 0x28u;
    QTest::newRow("KP_5") << quint64(XK_KP_5) << 0x65u;
    QTest::newRow("minus") << quint64(XK_minus) << 0xBDu;
    QTest::newRow("Cyrillic letter") << quint64(XK_Cyrillic_ve) << X11KeyMap::UnknownKey;
    QTest::newRow("no symbol") << quint64(NoSymbol) << X11KeyMap::UnknownKey;
}

void TestX11Platform::virtualKeyOfKeysym()
{
    QFETCH(quint64, keysym);
    QFETCH(quint32, vk);
    QCOMPARE(X11KeyMap::virtualKey(keysym), vk);
}

void TestX11Platform::keysymOfVirtualKey_data()
{
    QTest::addColumn<quint32>("vk");
    QTest::addColumn<quint64>("keysym");

    // What the paste injects: the generic Ctrl and Shift, the letter V and
    // Insert (the key of the editing block, not the keypad's).
    QTest::newRow("VK_CONTROL") << Keys::VkControl << quint64(XK_Control_L);
    QTest::newRow("V") << Keys::VkV << quint64(XK_v);
    QTest::newRow("VK_SHIFT") << Keys::VkShift << quint64(XK_Shift_L);
    QTest::newRow("VK_INSERT") << Keys::VkInsert << quint64(XK_Insert);
    QTest::newRow("VK_MENU") << Keys::VkMenu << quint64(XK_Alt_L);
    QTest::newRow("VK_RCONTROL") << Keys::VkRControl << quint64(XK_Control_R);
    QTest::newRow("VK_LCONTROL") << Keys::VkLControl << quint64(XK_Control_L);
    QTest::newRow("VK_RETURN") << 0x0Du << quint64(XK_Return);
    QTest::newRow("digit") << quint32('7') << quint64(XK_7);
    QTest::newRow("F10") << 0x79u << quint64(XK_F10);
    QTest::newRow("unknown") << X11KeyMap::UnknownKey << quint64(NoSymbol);
    QTest::newRow("zero") << 0u << quint64(NoSymbol);
}

void TestX11Platform::keysymOfVirtualKey()
{
    QFETCH(quint32, vk);
    QFETCH(quint64, keysym);
    QCOMPARE(quint64(X11KeyMap::keysym(vk)), keysym);
}

void TestX11Platform::injectedKeysComeBackAsTheirVirtualKey()
{
    // The hook must name every injected key as the virtual key it was
    // injected for; the generic modifiers come back as their left keys.
    int checked = 0;
    for (quint32 vk = 1; vk < 0xFF; ++vk) {
        const unsigned long keysym = X11KeyMap::keysym(vk);
        if (keysym == NoSymbol)
            continue;
        ++checked;
        quint32 expected = vk;
        if (vk == 0x10)
            expected = 160;
        else if (vk == Keys::VkControl)
            expected = Keys::VkLControl;
        else if (vk == Keys::VkMenu)
            expected = 164;
        QVERIFY2(X11KeyMap::virtualKey(keysym) == expected, qPrintable(QString::number(vk, 16)));
    }
    QVERIFY(checked > 100);
}

void TestX11Platform::message_data()
{
    QTest::addColumn<quint64>("keysym");
    QTest::addColumn<bool>("press");
    QTest::addColumn<uint>("state");
    QTest::addColumn<quintptr>("message");

    QTest::newRow("right ctrl press") << quint64(XK_Control_R) << true << 0u << Keys::KeyDownMessage;
    QTest::newRow("right ctrl release")
        << quint64(XK_Control_R) << false << uint(ControlMask) << Keys::KeyUpMessage;
    QTest::newRow("right ctrl press, alt held")
        << quint64(XK_Control_R) << true << uint(Mod1Mask) << Keys::SysKeyDownMessage;
    QTest::newRow("right ctrl release, alt held")
        << quint64(XK_Control_R) << false << uint(Mod1Mask | ControlMask) << Keys::SysKeyUpMessage;
    QTest::newRow("alt press") << quint64(XK_Alt_L) << true << 0u << Keys::SysKeyDownMessage;
    QTest::newRow("alt release") << quint64(XK_Alt_L) << false << uint(Mod1Mask) << Keys::SysKeyUpMessage;
    QTest::newRow("F10 press") << quint64(XK_F10) << true << 0u << Keys::SysKeyDownMessage;
    QTest::newRow("shifted letter") << quint64(XK_a) << true << uint(ShiftMask) << Keys::KeyDownMessage;
    QTest::newRow("AltGr held is not Alt") << quint64(XK_a) << true << uint(Mod5Mask) << Keys::KeyDownMessage;
    QTest::newRow("letter release, ctrl held")
        << quint64(XK_v) << false << uint(ControlMask) << Keys::KeyUpMessage;
}

void TestX11Platform::message()
{
    QFETCH(quint64, keysym);
    QFETCH(bool, press);
    QFETCH(uint, state);
    QFETCH(quintptr, message);
    QCOMPARE(X11KeyMap::message(keysym, press, state), message);
}

void TestX11Platform::recordFlags_data()
{
    QTest::addColumn<quint64>("keysym");
    QTest::addColumn<bool>("press");
    QTest::addColumn<uint>("state");
    QTest::addColumn<quint32>("flags");

    QTest::newRow("right ctrl press") << quint64(XK_Control_R) << true << 0u << 0x01u;
    QTest::newRow("right ctrl release") << quint64(XK_Control_R) << false << uint(ControlMask) << 0x81u;
    QTest::newRow("left ctrl press") << quint64(XK_Control_L) << true << 0u << 0x00u;
    QTest::newRow("letter, alt held") << quint64(XK_c) << true << uint(Mod1Mask) << 0x20u;
    QTest::newRow("arrow release") << quint64(XK_Left) << false << 0u << 0x81u;
}

void TestX11Platform::recordFlags()
{
    QFETCH(quint64, keysym);
    QFETCH(bool, press);
    QFETCH(uint, state);
    QFETCH(quint32, flags);
    QCOMPARE(X11KeyMap::recordFlags(keysym, press, state), flags);
}

void TestX11Platform::threadAttachment_data()
{
    QTest::addColumn<quint32>("from");
    QTest::addColumn<quint32>("to");
    QTest::addColumn<bool>("attached");

    QTest::newRow("two threads") << 100u << 0x80000123u << true;
    QTest::newRow("either direction") << 0x80000123u << 100u << true;
    QTest::newRow("a thread to itself") << 100u << 100u << false;
    QTest::newRow("no thread") << 0u << 100u << false;
    QTest::newRow("to no thread") << 100u << 0u << false;
}

void TestX11Platform::threadAttachment()
{
    QFETCH(quint32, from);
    QFETCH(quint32, to);
    QFETCH(bool, attached);
    X11Platform platform;
    QCOMPARE(platform.attachThreadInput(from, to, true), attached);
    QCOMPARE(platform.attachThreadInput(from, to, false), attached);
}

void TestX11Platform::noSystemCaret()
{
    X11Platform platform;
    QPoint caret(5, 5);
    QVERIFY(!platform.caretPosition(&caret));
    QVERIFY(platform.currentThreadId() != 0);
}

void TestX11Platform::tickCountFollowsTheClock()
{
    X11Platform platform;
    QElapsedTimer clock;
    clock.start();
    const quint32 start = platform.tickCount();
    QTest::qSleep(50);
    const quint32 elapsed = platform.tickCount() - start;
    QVERIFY2(elapsed >= 45 && elapsed <= quint32(clock.elapsed()) + 5, qPrintable(QString::number(elapsed)));
}

QTEST_MAIN(TestX11Platform)
#include "tst_x11platform.moc"
