// The settings record before and after loading quillet.ini.
#include "persisthelpers.h"
#include "settings/appdir.h"
#include "settings/settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestSettingsLoad : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    void writeIni(const QByteArray &text)
    {
        QFile file(dir.path() + QStringLiteral("/quillet.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    Settings loaded(const QByteArray &ini)
    {
        writeIni(ini);
        Settings settings;
        settings.load();
        return settings;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        AppDir::setOverride(dir.path());
    }

    void cleanup()
    {
        for (const QString &name : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(dir.path() + QLatin1Char('/') + name);
    }

    void beforeLoad()
    {
        const Settings *settings = Settings::instance();
        QCOMPARE(Settings::instance(), settings);
        const Settings fresh;
        QCOMPARE(fresh.size, QSize(-1, -1));
        QVERIFY(!fresh.size.isValid());
        QVERIFY(!fresh.darkmode && !fresh.ignoreCase && !fresh.word && !fresh.tooltip);
        QVERIFY(!fresh.tabcr && !fresh.zenspc && !fresh.linewrap);
        QCOMPARE(fresh.tabcolm, 0);
        QCOMPARE(fresh.histmax, 0);
        for (const Settings::ColorKey &color : Settings::colorKeys)
            QVERIFY2(!(fresh.*color.member).isValid(), color.key);
        QCOMPARE(fresh.textFont, QFont());
        QCOMPARE(fresh.inpFont, QFont());
        QVERIFY(fresh.history.isEmpty());
    }

    void defaultsWithoutFile()
    {
        Settings settings;
        settings.load();
        QCOMPARE(settings.size, QSize(700, 500));
        QCOMPARE(settings.ignoreCase, true);
        QCOMPARE(settings.word, false);
        QCOMPARE(settings.linewrap, false);
        QCOMPARE(settings.tooltip, true);
        QCOMPARE(settings.histmax, 500);
        QCOMPARE(settings.darkmode, true);
        QCOMPARE(settings.tabcolm, 4);
        QCOMPARE(settings.tabcr, true);
        QCOMPARE(settings.zenspc, true);
        QCOMPARE(settings.textFont.family(), QStringLiteral("IPAゴシック"));
        QCOMPARE(settings.textFont.pointSize(), 14);
        QCOMPARE(settings.textFont.weight(), 50);
        QCOMPARE(settings.inpFont.family(), QStringLiteral("MS UI Gothic"));
        QCOMPARE(settings.inpFont.pointSize(), 9);
        QCOMPARE(settings.inpFont.weight(), 50);
        // Loading a missing file creates nothing.
        QVERIFY(!QFile::exists(dir.path() + QStringLiteral("/quillet.ini")));
    }

    void colourDefaults_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QColor>("expected");
        const struct
        {
            const char *key;
            int r, g, b;
        } table[] = {
            { "color/backcolor", 10, 27, 52 },
            { "color/forecolor", 255, 255, 255 },
            { "color/hlbackcolor", 70, 130, 180 },
            { "color/hlforecolor", 255, 255, 255 },
            { "color/cursorcolor", 68, 85, 102 },
            { "color/findcolor", 255, 0, 0 },
            { "color/reteralcolor", 255, 255, 127 },
            { "color/reservecolor", 0, 255, 255 },
            { "color/valuecolor", 255, 170, 0 },
            { "color/funccolor", 255, 255, 255 },
            { "color/classcolor", 126, 255, 245 },
            { "color/ctrlcolor", 119, 119, 187 },
            { "color/lnumforecolor", 170, 255, 127 },
            { "color/lnumbackcolor", 83, 83, 83 },
            { "color/fnamecolor", 255, 255, 0 },
            { "color/commentcolor", 170, 255, 127 },
            { "color/header_backcolor", 210, 210, 210 },
            { "palette/Window", 53, 53, 53 },
            { "palette/WindowText", 255, 255, 255 },
            { "palette/Base", 25, 25, 25 },
            { "palette/AlternateBase", 53, 53, 53 },
            { "palette/ToolTipBase", 255, 255, 255 },
            { "palette/ToolTipText", 255, 255, 255 },
            { "palette/Text", 255, 255, 255 },
            { "palette/Button", 53, 53, 53 },
            { "palette/ButtonText", 255, 255, 255 },
            { "palette/BrightText", 255, 0, 0 },
            { "palette/Link", 42, 130, 218 },
            { "palette/Highlight", 42, 130, 218 },
            { "palette/HighlightedText", 0, 0, 0 },
        };
        for (const auto &row : table)
            QTest::newRow(row.key) << QString::fromLatin1(row.key) << QColor(row.r, row.g, row.b, 255);
    }

    void colourDefaults()
    {
        QFETCH(QString, key);
        QFETCH(QColor, expected);
        Settings settings;
        settings.load();
        for (const Settings::ColorKey &color : Settings::colorKeys) {
            if (key == QLatin1String(color.key)) {
                QCOMPARE(settings.*color.member, expected);
                QCOMPARE((settings.*color.member).alpha(), 255);
                return;
            }
        }
        QFAIL("key missing from the colour table");
    }

    void histmax_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("above the ceiling") << QByteArray("800") << 500;
        QTest::newRow("1000") << QByteArray("1000") << 500;
        QTest::newRow("below") << QByteArray("30") << 30;
        QTest::newRow("zero") << QByteArray("0") << 0;
        QTest::newRow("negative") << QByteArray("-5") << -5;
        QTest::newRow("not a number") << QByteArray("abc") << 0;
    }

    void histmax()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        QCOMPARE(loaded("[General]\nhistmax=" + value + "\n").histmax, expected);
    }

    void values()
    {
        const Settings settings
            = loaded("\xEF\xBB\xBF[General]\r\nsize=@Size(800 600)\r\ncase=false\r\n"
                     "word=true\r\nlinewrap=true\r\ntooltip=false\r\ndarkmode=false\r\n"
                     "tabcolm=8\r\ntabcr=false\r\nzenspc=false\r\n\r\n[font]\r\n"
                     "text_family=Noto Sans CJK JP\r\ntext_pointSize=20\r\n"
                     "text_bold=true\r\ninp_family=\xE3\x83\xA1\xE3\x82\xA4\xE3\x83\xAA\xE3\x82\xAA\r\n"
                     "inp_pointSize=11\r\ninp_bold=false\r\n");
        QCOMPARE(settings.size, QSize(800, 600));
        QCOMPARE(settings.ignoreCase, false);
        QCOMPARE(settings.word, true);
        QCOMPARE(settings.linewrap, true);
        QCOMPARE(settings.tooltip, false);
        QCOMPARE(settings.darkmode, false);
        QCOMPARE(settings.tabcolm, 8);
        QCOMPARE(settings.tabcr, false);
        QCOMPARE(settings.zenspc, false);
        QCOMPARE(settings.textFont.family(), QStringLiteral("Noto Sans CJK JP"));
        QCOMPARE(settings.textFont.pointSize(), 20);
        QCOMPARE(settings.textFont.weight(), 75);
        QCOMPARE(settings.inpFont.family(), QStringLiteral("メイリオ"));
        QCOMPARE(settings.inpFont.pointSize(), 11);
        QCOMPARE(settings.inpFont.weight(), 50);
    }

    void colourNotations_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("name") << QByteArray("steelblue") << QColor(70, 130, 180);
        QTest::newRow("hex") << QByteArray("#102030") << QColor(16, 32, 48);
        QTest::newRow("short hex") << QByteArray("#fff") << QColor(255, 255, 255);
        QTest::newRow("unknown name") << QByteArray("notacolour") << QColor();
    }

    void colourNotations()
    {
        QFETCH(QByteArray, value);
        QFETCH(QColor, expected);
        const Settings settings = loaded("[color]\nreservecolor=" + value + "\n");
        QCOMPARE(settings.reservecolor, expected);
        QCOMPARE(settings.backcolor, QColor(10, 27, 52));
    }

    // One QFont serves both fonts during the load: a point size the font
    // refuses leaves the one read for the text font in place.
    void sharedFont_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("inputSize");
        QTest::newRow("zero") << QByteArray("[font]\ninp_pointSize=0\n") << 14;
        QTest::newRow("negative") << QByteArray("[font]\ninp_pointSize=-3\n") << 14;
        QTest::newRow("after a larger text font")
            << QByteArray("[font]\ntext_pointSize=30\ninp_pointSize=0\n") << 30;
        QTest::newRow("valid") << QByteArray("[font]\ninp_pointSize=12\n") << 12;
    }

    void sharedFont()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, inputSize);
        QCOMPARE(loaded(ini).inpFont.pointSize(), inputSize);
    }

    // Values QSettings would decode from a binary stream are never decoded:
    // a damaged one made it allocate without bound and end the program.
    // The other lines of the file still count.
    void streamedValuesAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("line");
        const QByteArray list("@Variant(\\0\\0\\0\\t\\xff\\xff\\xff\\xff)");
        QTest::newRow("variant") << "histmax=" + list;
        QTest::newRow("quoted") << "histmax=\"" + list + "\"";
        QTest::newRow("spelled with an escape")
            << QByteArray("histmax=\\x40Variant(\\0\\0\\0\\t\\xff\\xff\\xff\\xff)");
        QTest::newRow("second item of a list") << "histmax=1, " + list;
        QTest::newRow("date and time") << QByteArray("histmax=@DateTime(\\0\\0\\0\\x10\\0\\xff\\xff\\xff)");
    }
    void streamedValuesAreIgnored()
    {
        QFETCH(QByteArray, line);
        const Settings settings
            = loaded("[General]\ntabcolm=8\nsize=@Size(640 480)\n" + line + "\nzenspc=false\n");
        QCOMPARE(settings.histmax, 500);
        QCOMPARE(settings.tabcolm, 8);
        QCOMPARE(settings.size, QSize(640, 480));
        QCOMPARE(settings.zenspc, false);
    }

    // Found by fuzzing: a whole file holding a list whose length claims four
    // billion items.
    void fuzzedStreamedValue()
    {
        const Settings settings
            = loaded(QByteArray::fromBase64("bF0Kc2l6ZT1AU2l6ZSgtMSA5OTnhuTk5OTk5OTkDAAAAc2U9bWEFYmUKaGlzdG1h"
                                            "eD1AVmFyaWFudChcMFwwXDBcdDeanzBcMF"
                                            "wwXHgxNFwwKQpbZm9udF0KJGVdCmJhY2tjbwpiYWM="));
        QCOMPARE(settings.histmax, 500);
    }

    // The start reads the options, puts its tray icon up, then reads the
    // history: with the limit the options set, once, and never saving an
    // empty history over the file in between.
    void historyWaitsForItsTurn()
    {
        writeIni("[General]\nhistmax=2\n");
        const QString clipList = dir.path() + QStringLiteral("/cliplist.dat");
        Settings settings;
        settings.loadOptions();
        QCOMPARE(settings.histmax, 2);
        QVERIFY(settings.history.isEmpty());
        // Read when asked for, not before.
        QVERIFY(persist::writeBytes(clipList, persist::plainFile({ "new", "older", "oldest" })));
        settings.loadPendingHistory();
        QCOMPARE(settings.history, QStringList({ "new", "older" }));
        settings.history.prepend(QStringLiteral("taken since"));
        settings.loadPendingHistory();
        QCOMPARE(settings.history.first(), QStringLiteral("taken since"));

        Settings whole;
        whole.load();
        QCOMPARE(whole.history, QStringList({ "new", "older" }));

        Settings early;
        early.loadOptions();
        early.save();
        QCOMPARE(early.history, QStringList({ "new", "older" }));
        Settings reread;
        reread.load();
        QCOMPARE(reread.history, QStringList({ "new", "older" }));
    }

    void loadWritesNothing()
    {
        const QByteArray ini("[General]\nhistmax=100\n");
        loaded(ini);
        QFile file(dir.path() + QStringLiteral("/quillet.ini"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), ini);
    }
};

QTEST_MAIN(TestSettingsLoad)
#include "tst_settingsload.moc"
