// The table of paste chords: the built-in window classes and the [paste]
// section of quillet.ini on top of them.

#include "popup/pastechords.h"
#include "settings/appdir.h"
#include "settings/settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(PasteChords::Chord)

namespace {
QStringList pasteLines;
QtMessageHandler previousHandler = nullptr;

void collectPasteLines(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("quillet.ini [paste]")))
        pasteLines << message;
    else
        previousHandler(type, context, message);
}
}  // namespace

class TestPasteChords : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        AppDir::setOverride(dir.path());
    }
    void cleanupTestCase() { AppDir::setOverride(QString()); }

    void builtIn_data();
    void builtIn();
    void userSection_data();
    void userSection();
};

void TestPasteChords::builtIn_data()
{
    QTest::addColumn<QStringList>("classes");
    QTest::addColumn<PasteChords::Chord>("chord");

    const auto row = [](const char *name, const QStringList &classes, PasteChords::Chord chord) {
        QTest::newRow(name) << classes << chord;
    };
    row("xterm", { "xterm", "XTerm" }, PasteChords::ShiftInsert);
    row("uxterm", { "uxterm", "UXTerm" }, PasteChords::ShiftInsert);
    row("urxvt", { "urxvt", "URxvt" }, PasteChords::ShiftInsert);
    row("rxvt", { "rxvt", "Rxvt" }, PasteChords::ShiftInsert);
    row("mintty", { "mintty" }, PasteChords::ShiftInsert);
    row("gnome-terminal", { "gnome-terminal-server", "Gnome-terminal" }, PasteChords::CtrlShiftV);
    row("gnome terminal by its id", { "org.gnome.Terminal" }, PasteChords::CtrlShiftV);
    row("konsole", { "konsole", "konsole" }, PasteChords::CtrlShiftV);
    row("xfce4-terminal", { "xfce4-terminal", "Xfce4-terminal" }, PasteChords::CtrlShiftV);
    row("tilix", { "tilix", "Tilix" }, PasteChords::CtrlShiftV);
    row("terminator", { "terminator", "Terminator" }, PasteChords::CtrlShiftV);
    row("kitty", { "kitty", "kitty" }, PasteChords::CtrlShiftV);
    row("alacritty", { "Alacritty", "Alacritty" }, PasteChords::CtrlShiftV);
    row("wezterm", { "org.wezfurlong.wezterm", "org.wezfurlong.wezterm" }, PasteChords::CtrlShiftV);
    row("windows console", { "ConsoleWindowClass" }, PasteChords::CtrlV);
    row("windows terminal", { "Windows.UI.Input.InputSite.WindowClass", "CASCADIA_HOSTING_WINDOW_CLASS" },
        PasteChords::CtrlV);
    row("any case", { "XTERM" }, PasteChords::ShiftInsert);
    row("child class unknown, top-level known", { "Edit", "mintty" }, PasteChords::ShiftInsert);
    row("the window's own class first", { "konsole", "xterm" }, PasteChords::CtrlShiftV);
    row("text editor", { "gedit", "Gedit" }, PasteChords::CtrlV);
    row("name only like a terminal", { "xterm-256color", "myxterm" }, PasteChords::CtrlV);
    row("no class", {}, PasteChords::CtrlV);
}

void TestPasteChords::builtIn()
{
    QFETCH(QStringList, classes);
    QFETCH(PasteChords::Chord, chord);
    QCOMPARE(PasteChords().chordFor(classes), chord);
}

void TestPasteChords::userSection_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("classes");
    QTest::addColumn<PasteChords::Chord>("chord");
    QTest::addColumn<int>("ignoredLines");

    QTest::newRow("no file") << QByteArray() << QStringList { "xterm", "XTerm" } << PasteChords::ShiftInsert
                             << 0;
    QTest::newRow("new class, any case")
        << QByteArray("[paste]\nMyTerm=ctrl+shift+v\n") << QStringList { "myterm", "MYTERM" }
        << PasteChords::CtrlShiftV << 0;
    QTest::newRow("overrides a built-in class")
        << QByteArray("[paste]\nXTerm=ctrl+v\n") << QStringList { "xterm", "XTerm" } << PasteChords::CtrlV
        << 0;
    QTest::newRow("value in any case, with blanks")
        << QByteArray("\xef\xbb\xbf[paste]\r\nfoot=Shift + INSERT\r\n") << QStringList { "foot" }
        << PasteChords::ShiftInsert << 0;
    QTest::newRow("dotted class") << QByteArray("[paste]\norg.example.Term=ctrl+shift+v\n")
                                  << QStringList { "org.example.term" } << PasteChords::CtrlShiftV << 0;
    QTest::newRow("unknown value keeps the built-in")
        << QByteArray("[paste]\nxterm=middle-click\n") << QStringList { "xterm" } << PasteChords::ShiftInsert
        << 1;
    QTest::newRow("empty value") << QByteArray("[paste]\nfoot=\n") << QStringList { "foot" }
                                 << PasteChords::CtrlV << 1;
    QTest::newRow("two chords in one value") << QByteArray("[paste]\nfoot=ctrl+v,shift+insert\n")
                                             << QStringList { "foot" } << PasteChords::CtrlV << 1;
    QTest::newRow("only the wrong ones ignored")
        << QByteArray("[paste]\nkitty=shift+insert\nkonsole=alt+v\nfoot=ctrl+v+v\n")
        << QStringList { "kitty" } << PasteChords::ShiftInsert << 2;
    QTest::newRow("other sections do not count")
        << QByteArray("[General]\nfoot=shift+insert\n") << QStringList { "foot" } << PasteChords::CtrlV << 0;
}

void TestPasteChords::userSection()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, classes);
    QFETCH(PasteChords::Chord, chord);
    QFETCH(int, ignoredLines);

    const QString path = dir.path() + QStringLiteral("/quillet.ini");
    QFile::remove(path);
    if (!ini.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
    }
    pasteLines.clear();
    previousHandler = qInstallMessageHandler(collectPasteLines);
    Settings settings;
    settings.load();
    qInstallMessageHandler(previousHandler);

    QCOMPARE(settings.pasteChords.chordFor(classes), chord);
    QCOMPARE(pasteLines.size(), ignoredLines);
    // The rest of the built-in table is still there.
    QCOMPARE(settings.pasteChords.chordFor({ QStringLiteral("Alacritty") }), PasteChords::CtrlShiftV);
}

QTEST_MAIN(TestPasteChords)
#include "tst_pastechords.moc"
