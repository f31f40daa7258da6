#include "persisthelpers.h"

#include "settings/appdir.h"
#include "settings/cliplistcodec.h"
#include "settings/safefilewriter.h"
#include "settings/settings.h"

#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

using namespace persist;

namespace {
// The line end of the saved settings file: the rewrite turns every LF that
// QSettings wrote into CR LF, and QSettings itself ends lines with CR LF on
// Windows, so there they become CR CR LF.
#ifdef Q_OS_WIN
const char lineEnd[] = "\r\r\n";
#else
const char lineEnd[] = "\r\n";
#endif

// The sections of an INI text and the keys in each, in file order.
QMap<QString, QStringList> sectionKeys(const QString &text)
{
    QMap<QString, QStringList> sections;
    QString section;
    for (const QString &line : text.split(QLatin1String(lineEnd), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1Char('[')))
            section = line.mid(1, line.size() - 2);
        else
            sections[section] << line.section(QLatin1Char('='), 0, 0);
    }
    return sections;
}

QString withoutBom(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes.startsWith("\xef\xbb\xbf") ? bytes.mid(3) : bytes);
}
}  // namespace

class TstSettingsSave : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *dir = nullptr;
    QString path(const char *name) const { return dir->path() + QLatin1Char('/') + QLatin1String(name); }
    QString iniPath() const { return path("quillet.ini"); }
    static Settings *settings() { return Settings::instance(); }
    // A fresh record loaded from the test directory.
    static Settings *reloaded()
    {
        *settings() = Settings();
        settings()->load();
        return settings();
    }
    void expectDebugLine()
    {
        QTest::ignoreMessage(
            QtDebugMsg, qPrintable(QStringLiteral("WriteUtf8Bom \"%1\" write with BOM").arg(iniPath())));
    }

private slots:
    void init()
    {
        dir = new QTemporaryDir;
        QVERIFY(dir->isValid());
        AppDir::setOverride(dir->path());
        *settings() = Settings();
    }
    void cleanup()
    {
        SafeFileWriter::setFailAfterBytes(-1);
        AppDir::setOverride(QString());
        delete dir;
        dir = nullptr;
    }

    void firstSave()
    {
        reloaded()->history = QStringList { "abc" };
        expectDebugLine();
        settings()->save();

        const QByteArray bytes = readBytes(iniPath());
        QVERIFY(bytes.startsWith("\xef\xbb\xbf"));
        QVERIFY(!bytes.mid(3).contains("\xef\xbb\xbf"));
        QVERIFY(bytes.contains(lineEnd));
        QCOMPARE(bytes.count('\n'), bytes.count(lineEnd));
        const QMap<QString, QStringList> sections = sectionKeys(withoutBom(bytes));
        QCOMPARE(sections.keys(), (QStringList { "General", "color", "font", "palette" }));
        QStringList general = sections.value("General");
        general.sort();
        QCOMPARE(general, (QStringList { "case", "linewrap", "size", "word" }));
        QCOMPARE(sections.value("color").size(), 17);
        QCOMPARE(sections.value("palette").size(), 13);
        QCOMPARE(sections.value("font").size(), 6);
        const QString text = withoutBom(bytes);
        QVERIFY(text.contains("size=@Size(700 500)"));
        QVERIFY(text.contains("text_family=IPAゴシック"));
        QVERIFY(text.contains("fnamecolor=#ffff00"));
        QVERIFY(text.contains("backcolor=#0a1b34"));
        QCOMPARE(fileNames(dir->path()), (QStringList { "cliplist.dat", "quillet.ini" }));
    }

    void savedValuesLoadBack()
    {
        Settings *s = reloaded();
        s->size = QSize(800, 600);
        s->ignoreCase = false;
        s->word = true;
        s->linewrap = true;
        s->textFont.setPointSize(17);
        s->textFont.setWeight(75);
        s->inpFont.setFamily("Noto Sans");
        s->reteralcolor = QColor(1, 2, 3, 4);
        s->paletteLink = QColor("steelblue");
        s->history = QStringList { "x" };
        const Settings saved = *s;
        expectDebugLine();
        s->save();
        QVERIFY(withoutBom(readBytes(iniPath()))
                    .contains(QStringLiteral("size=@Size(800 600)") + QLatin1String(lineEnd)));

        s = reloaded();
        QCOMPARE(s->size, QSize(800, 600));
        QCOMPARE(s->ignoreCase, false);
        QCOMPARE(s->word, true);
        QCOMPARE(s->linewrap, true);
        QCOMPARE(s->textFont.pointSize(), 17);
        QCOMPARE(s->textFont.weight(), 75);
        QCOMPARE(s->inpFont.family(), QStringLiteral("Noto Sans"));
        QCOMPARE(s->reteralcolor, QColor(1, 2, 3));  // no alpha in the file
        for (const Settings::ColorKey &color : Settings::colorKeys) {
            if (color.member != &Settings::reteralcolor)
                QCOMPARE((s->*color.member).name(), (saved.*color.member).name());
        }
        QCOMPARE(s->history, QStringList { "x" });
    }

    void handWrittenKeysSurvive_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<int>("histmax");
        QTest::newRow("histmax 100") << QByteArray("[General]\nhistmax=100\n") << "histmax=100" << 100;
        QTest::newRow("histmax 1000") << QByteArray("[General]\nhistmax=1000\n") << "histmax=1000" << 500;
        QTest::newRow("other keys") << QByteArray("[General]\ndarkmode=false\nzenspc=false\ntabcolm=8\n")
                                    << "tabcolm=8" << 500;
        QTest::newRow("unknown key, BOM and CR LF")
            << QByteArray("\xef\xbb\xbf[extra]\r\nmine=kept\r\n[General]\r\nhistmax=7\r\n") << "mine=kept"
            << 7;
        // The paste chords are read, never written, and stay as written.
        QTest::newRow("paste section") << QByteArray(
            "[paste]\nMyTerm=Ctrl+Shift+V\norg.example.term=shift+insert\n[General]\nhistmax=9\n")
                                       << "MyTerm=Ctrl+Shift+V" << 9;
        // A value QSettings would decode from a damaged binary stream is left
        // out of the file; the rest of the file is kept.
        QTest::newRow("damaged streamed value")
            << QByteArray("[General]\nhistmax=@Variant(\\0\\0\\0\\t\\xff\\xff\\xff\\xff)\ntabcolm=8\n")
            << "tabcolm=8" << 500;
    }
    void handWrittenKeysSurvive()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, kept);
        QFETCH(int, histmax);
        QVERIFY(writeBytes(iniPath(), ini));
        for (int round = 0; round < 3; ++round) {
            Settings *s = reloaded();
            QCOMPARE(s->histmax, histmax);
            s->history = QStringList { QStringLiteral("entry %1").arg(round) };
            expectDebugLine();
            s->save();
            QVERIFY2(
                withoutBom(readBytes(iniPath())).contains(kept + QLatin1String(lineEnd)), qPrintable(kept));
        }
    }

    // Lines kept away from QSettings (values with "@" or "\\") survive
    // every save as the text they were, in their section; none is decoded.
    void heldLinesSurvive_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QStringList>("lines");
        const QByteArray list("@Variant(\\0\\0\\0\\t\\xff\\xff\\xff\\xff)");
        QTest::newRow("variant") << "[General]\nhistmax=" + list + "\ntabcolm=8\n"
                                 << "General" << QStringList { "histmax=" + list };
        QTest::newRow("quoted variant") << "[extra]\nq=\"" + list + "\"\n"
                                        << "extra" << QStringList { "q=\"" + list + "\"" };
        QTest::newRow("variant spelled with an escape")
            << QByteArray("[extra]\nv=\\x40Variant(\\0\\0\\0\\t\\xff\\xff\\xff\\xff)\n") << "extra"
            << QStringList { "v=\\x40Variant(\\0\\0\\0\\t\\xff\\xff\\xff\\xff)" };
        QTest::newRow("variant inside a list") << "[extra]\nl=1, " + list + "\n"
                                               << "extra" << QStringList { "l=1, " + list };
        QTest::newRow("date and time")
            << QByteArray("[General]\nd=@DateTime(\\0\\0\\0\\x10\\0\\xff\\xff\\xff)\n") << "General"
            << QStringList { "d=@DateTime(\\0\\0\\0\\x10\\0\\xff\\xff\\xff)" };
        QTest::newRow("ordinary values, CR LF and a byte order mark")
            << QByteArray(
                   "\xef\xbb\xbfnote=@home\r\n[extra]\r\nmine=kept\r\npath=C:\\\\tools\r\nmail=a@b.c\r\n")
            << "extra" << QStringList { "path=C:\\\\tools", "mail=a@b.c" };
        QTest::newRow("before any section")
            << QByteArray("note=@home\nhistmax=9\n") << "General" << QStringList { "note=@home" };
        QTest::newRow("a section of held lines only")
            << QByteArray("[paths]\nhome=@home\nwork=D:\\\\work\n") << "paths"
            << QStringList { "home=@home", "work=D:\\\\work" };
        QTest::newRow("the fuzzed four-billion list")
            << QByteArray::fromBase64("bF0Kc2l6ZT1AU2l6ZSgtMSA5OTnhuTk5OTk5OTkDAAAAc2U9bWEFYmUKaGlzdG1h"
                                      "eD1AVmFyaWFudChcMFwwXDBcdDeanzBcMF"
                                      "wwXHgxNFwwKQpbZm9udF0KJGVdCmJhY2tjbwpiYWM=")
            << "General"
            << QStringList { QString::fromUtf8(
                   QByteArray::fromBase64("aGlzdG1heD1AVmFyaWFudChcMFwwXDBcdDeanzBcMFwwXHgxNFwwKQ==")) };
    }
    void heldLinesSurvive()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, section);
        QFETCH(QStringList, lines);
        QVERIFY(writeBytes(iniPath(), ini));
        for (int round = 0; round < 3; ++round) {
            Settings *s = reloaded();
            QCOMPARE(s->histmax, ini.contains("histmax=9") ? 9 : 500);
            s->history = QStringList { QStringLiteral("entry %1").arg(round) };
            expectDebugLine();
            s->save();
            const QString text = withoutBom(readBytes(iniPath()));
            const QStringList fileLines = text.split(QLatin1String(lineEnd));
            // Each once, in its section (after its header, before the next).
            const int header = fileLines.indexOf(QLatin1Char('[') + section + QLatin1Char(']'));
            QVERIFY2(header >= 0, qPrintable(text));
            int next = header + 1;
            while (next < fileLines.size() && !fileLines.at(next).startsWith(QLatin1Char('[')))
                ++next;
            int previous = header;
            for (const QString &line : lines) {
                QVERIFY2(fileLines.count(line) == 1, qPrintable(line + QStringLiteral(" in:\n") + text));
                const int at = fileLines.indexOf(line);
                QVERIFY2(at > previous && at < next, qPrintable(text));
                previous = at;
            }
            // Everything the program writes is there too.
            QVERIFY(text.contains(QStringLiteral("size=@Size(700 500)")));
            QVERIFY(text.contains(QStringLiteral("text_family=")));
        }
    }

    // A family whose name starts with "@" (Windows names its vertical-writing
    // fonts so) is written as QSettings spells it, "@@...", and read back.
    void familyStartingWithAt()
    {
        QVERIFY(writeBytes(iniPath(), "[font]\ntext_family=@@MS Gothic\ninp_family=@Meiryo\n"));
        Settings *s = reloaded();
        QCOMPARE(s->textFont.family(), QStringLiteral("@MS Gothic"));
        // A lone "@" is QSettings' escape, not a family it wrote: not read.
        QCOMPARE(s->inpFont.family(), QStringLiteral("MS UI Gothic"));
        s->inpFont.setFamily(QStringLiteral("@Yu Gothic"));
        s->history = QStringList { QStringLiteral("x") };
        expectDebugLine();
        s->save();
        const QStringList fileLines = withoutBom(readBytes(iniPath())).split(QLatin1String(lineEnd));
        QCOMPARE(fileLines.count(QStringLiteral("text_family=@@MS Gothic")), 1);
        QCOMPARE(fileLines.count(QStringLiteral("inp_family=@@Yu Gothic")), 1);
        QCOMPARE(fileLines.filter(QRegularExpression(QStringLiteral("^inp_family="))).size(), 1);
        QCOMPARE(reloaded()->inpFont.family(), QStringLiteral("@Yu Gothic"));
    }

    void colourNamesAreWrittenAsHex()
    {
        QVERIFY(writeBytes(iniPath(), "[color]\nhlbackcolor=steelblue\n[palette]\nLink=#ABCDEF\n"));
        Settings *s = reloaded();
        QCOMPARE(s->hlbackcolor, QColor(0x46, 0x82, 0xb4));
        s->history = QStringList { "x" };
        expectDebugLine();
        s->save();
        const QString text = withoutBom(readBytes(iniPath()));
        QVERIFY(text.contains(QStringLiteral("hlbackcolor=#4682b4") + QLatin1String(lineEnd)));
        QVERIFY(text.contains(QStringLiteral("Link=#abcdef") + QLatin1String(lineEnd)));
    }

    void emptyHistoryStillWritesSettings()
    {
        reloaded()->size = QSize(10, 20);
        expectDebugLine();
        settings()->save();
        QCOMPARE(fileNames(dir->path()), QStringList { "quillet.ini" });
        QCOMPARE(reloaded()->size, QSize(10, 20));
    }

    void purgingSaveLeavesNoOlderCopy()
    {
        Settings *s = reloaded();
        for (const char *entry : { "secret", "b", "c" }) {
            s->history.prepend(QLatin1String(entry));
            expectDebugLine();
            s->save();
        }
        s->history.removeAll("secret");
        expectDebugLine();
        s->save(true);
        QCOMPARE(fileNames(dir->path()), (QStringList { "cliplist.dat", "cliplist.dat.bak", "quillet.ini" }));
        QVERIFY(!readBytes(iniPath()).contains("secret"));
        for (const char *name : { "cliplist.dat", "cliplist.dat.bak" })
            QCOMPARE(plainText(readBytes(path(name))), QStringLiteral("c<>b<>"));
        QCOMPARE(reloaded()->history, (QStringList { "c", "b" }));
    }

    // A disk that fills up during a save: every file is as before or whole and
    // new, and nothing is left behind.
    void fullDisk_data()
    {
        QTest::addColumn<int>("spare");  // bytes left beyond the new clip list
        QTest::addColumn<bool>("clipListSaved");
        QTest::newRow("full from the start") << -1 << false;
        QTest::newRow("clip list fits, settings do not") << 0 << true;
        QTest::newRow("settings half written") << 300 << true;
    }
    void fullDisk()
    {
        QFETCH(int, spare);
        QFETCH(bool, clipListSaved);
        Settings *s = reloaded();
        for (const char *entry : { "one", "two" }) {
            s->history.prepend(QLatin1String(entry));
            expectDebugLine();
            s->save();
        }
        QMap<QString, QByteArray> before;
        for (const QString &name : fileNames(dir->path()))
            before[name] = readBytes(dir->path() + "/" + name);

        s->history.prepend("three");
        s->size = QSize(321, 123);
        const int clipListSize = ClipListCodec::encode(s->history).size();
        SafeFileWriter::setFailAfterBytes(spare < 0 ? 0 : clipListSize + spare);
        s->save();
        SafeFileWriter::setFailAfterBytes(-1);

        QCOMPARE(fileNames(dir->path()), before.keys());
        QCOMPARE(readBytes(iniPath()), before.value("quillet.ini"));
        if (clipListSaved) {
            QCOMPARE(readBytes(path("cliplist.dat")), plainFile({ "three", "two", "one" }));
            QCOMPARE(readBytes(path("cliplist.dat.bak")), before.value("cliplist.dat"));
        } else {
            QCOMPARE(readBytes(path("cliplist.dat")), before.value("cliplist.dat"));
            QCOMPARE(readBytes(path("cliplist.dat.bak")), before.value("cliplist.dat.bak"));
        }
        QCOMPARE(reloaded()->size, QSize(700, 500));
    }

#ifdef Q_OS_UNIX
    void filesArePrivate()
    {
        reloaded()->history = QStringList { "a" };
        expectDebugLine();
        settings()->save();
        QCOMPARE(mode(iniPath()), 0600);
        QCOMPARE(mode(path("cliplist.dat")), 0600);
        QVERIFY(chmodPath(iniPath(), 0644));
        settings()->history.prepend("b");
        expectDebugLine();
        settings()->save();
        QCOMPARE(mode(iniPath()), 0600);
        QCOMPARE(mode(path("cliplist.dat")), 0600);
        QCOMPARE(mode(path("cliplist.dat.bak")), 0600);
    }

    // The child loads, takes two new entries with a save after each, and
    // prints the history it holds.
    void unwritableDirectoryLosesNothing()
    {
        reloaded()->history = QStringList { "kept", "older" };
        expectDebugLine();
        settings()->save();
        settings()->history.prepend("newest on disk");
        expectDebugLine();
        settings()->save();
        QMap<QString, QByteArray> before;
        for (const QString &name : fileNames(dir->path())) {
            before[name] = readBytes(dir->path() + "/" + name);
            QVERIFY(handToChild(dir->path() + "/" + name));
        }
        QVERIFY(handToChild(dir->path()));
        QVERIFY(chmodPath(dir->path(), 0555));

        const ChildResult child = runChild({ "capture-twice", dir->path() });
        QVERIFY(chmodPath(dir->path(), 0700));
        QCOMPARE(child.crashed, false);
        QCOMPARE(child.exitCode, 0);
        QCOMPARE(QString::fromUtf8(child.out).split('\n', Qt::SkipEmptyParts),
            (QStringList { "second", "first", "newest on disk", "kept", "older" }));
        const QStringList errors = QString::fromLocal8Bit(child.err).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith("quillet: cannot save to " + dir->path() + "/"),
            qPrintable(errors.first()));
        QCOMPARE(fileNames(dir->path()), before.keys());
        for (const QString &name : before.keys())
            QCOMPARE(readBytes(dir->path() + "/" + name), before.value(name));
    }

    void unreadableSettingsFileIsKept()
    {
        const QByteArray ini("[General]\nhistmax=3\nmine=precious\n");
        QVERIFY(writeBytes(iniPath(), ini));
        QVERIFY(writeBytes(path("cliplist.dat"), plainFile({ "older" })));
        QVERIFY(chmodPath(iniPath(), 0200));
        for (const char *name : { "quillet.ini", "cliplist.dat" })
            QVERIFY(handToChild(path(name)));
        QVERIFY(handToChild(dir->path()));

        const ChildResult child = runChild({ "capture-twice", dir->path() });
        QCOMPARE(child.crashed, false);
        QCOMPARE(child.exitCode, 0);
        QCOMPARE(readBytes(iniPath()), ini);
        const QStringList errors = QString::fromLocal8Bit(child.err).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(
            errors, QStringList { "quillet: cannot save to " + iniPath() + ": the file cannot be read" });
        // The history was saved all the same (histmax 500: the file could not
        // be read, so every key has its default).
        QCOMPARE(plainText(readBytes(path("cliplist.dat"))), QStringLiteral("second<>first<>older<>"));
    }
#endif
};

int main(int argc, char **argv)
{
#ifdef Q_OS_UNIX
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return unprivilegedSaveChild(argc, argv);
#endif
    QTEST_MAIN_IMPL(TstSettingsSave)
}

#include "tst_settingssave.moc"
