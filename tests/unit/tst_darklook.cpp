// The dark look: palette roles from the settings and the style sheet rewrite.
#include "app/darklook.h"
#include "settings/appdir.h"
#include "settings/settings.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestDarkLook : public QObject
{
    Q_OBJECT

    QTemporaryDir home;

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        AppDir::setOverride(home.path());
    }

    void paletteRoles()
    {
        Settings settings;
        settings.load();  // defaults: no quillet.ini in the test's directory
        settings.paletteWindow = QColor(1, 2, 3);
        settings.paletteText = QColor(4, 5, 6);
        // Even a configured disabled colour cannot override the dark green.
        const QPalette palette = DarkLook::palette(QPalette(), settings);
        const struct
        {
            QPalette::ColorRole role;
            QColor expected;
        } roles[] = {
            { QPalette::Window, QColor(1, 2, 3) },
            { QPalette::WindowText, QColor(255, 255, 255) },
            { QPalette::Base, QColor(25, 25, 25) },
            { QPalette::AlternateBase, QColor(53, 53, 53) },
            { QPalette::ToolTipBase, QColor(255, 255, 255) },
            { QPalette::ToolTipText, QColor(255, 255, 255) },
            { QPalette::Text, QColor(4, 5, 6) },
            { QPalette::Button, QColor(53, 53, 53) },
            { QPalette::ButtonText, QColor(255, 255, 255) },
            { QPalette::BrightText, QColor(255, 0, 0) },
            { QPalette::Link, QColor(42, 130, 218) },
            { QPalette::Highlight, QColor(42, 130, 218) },
            { QPalette::HighlightedText, QColor(0, 0, 0) },
        };
        for (const auto &entry : roles) {
            for (auto group : { QPalette::Active, QPalette::Inactive }) {
                QCOMPARE(palette.color(group, entry.role), entry.expected);
                QCOMPARE(palette.brush(group, entry.role).style(), Qt::SolidPattern);
            }
        }
        QCOMPARE(palette.color(QPalette::Disabled, QPalette::Text), QColor(Qt::darkGreen));
        QCOMPARE(palette.color(QPalette::Disabled, QPalette::ButtonText), QColor(Qt::darkGreen));
        QCOMPARE(palette.color(QPalette::Disabled, QPalette::Window), QColor(1, 2, 3));
    }

    void styleSheet_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("relative") << QByteArray("QWidget { background: url(img/bg.png); }")
                                  << QStringLiteral("QWidget { background: url(D:/tools/app/img/bg.png); }");
        QTest::newRow("quoted") << QByteArray("a { b: url('bg.png') }")
                                << QStringLiteral("a { b: url(D:/tools/app/'bg.png') }");
        QTest::newRow("capitals untouched")
            << QByteArray("a { b: URL(img/bg.png) }") << QStringLiteral("a { b: URL(img/bg.png) }");
        QTest::newRow("every occurrence")
            << QByteArray("url(a)url(b)") << QStringLiteral("url(D:/tools/app/a)url(D:/tools/app/b)");
        QTest::newRow("zero byte ends the sheet") << QByteArray("a {}\0url(x)", 11) << QStringLiteral("a {}");
        QTest::newRow("latin-1") << QByteArray("/* \xE9\xFF */") << QStringLiteral("/* \u00E9\u00FF */");
        QTest::newRow("empty") << QByteArray() << QString();
    }

    void styleSheet()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(DarkLook::styleSheet(bytes, QStringLiteral("D:/tools/app")), expected);
    }

    void applyInstallsPaletteAndSheet()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile sheet(dir.path() + QStringLiteral("/quillet.qss"));
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        sheet.write("QDialog { background: url(bg.png); }");
        sheet.close();

        Settings settings;
        settings.load();
        DarkLook::install(settings, dir.path());
        QCOMPARE(
            qApp->styleSheet(), QStringLiteral("QDialog { background: url(%1/bg.png); }").arg(dir.path()));
        QCOMPARE(QApplication::palette().color(QPalette::Window), QColor(53, 53, 53));
        QCOMPARE(QApplication::palette().color(QPalette::Disabled, QPalette::Text), QColor(Qt::darkGreen));
        qApp->setStyleSheet(QString());
    }

    void darkmodeOffTouchesNothing()
    {
        QTemporaryDir dir;
        QFile sheet(dir.path() + QStringLiteral("/quillet.qss"));
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        sheet.write("QDialog { color: red; }");
        sheet.close();
        const QString sheetBefore = QStringLiteral("QLabel { color: blue; }");
        qApp->setStyleSheet(sheetBefore);
        const QPalette before = QApplication::palette();
        Settings settings;
        settings.load();
        settings.darkmode = false;
        settings.paletteWindow = QColor(1, 2, 3);
        DarkLook::install(settings, dir.path());
        QCOMPARE(qApp->styleSheet(), sheetBefore);
        QCOMPARE(QApplication::palette(), before);
        qApp->setStyleSheet(QString());
    }

    void applyWithoutSheetKeepsTheSheet()
    {
        // Without a sheet file the dark look sets only the palette: the
        // application's sheet is not replaced, not even by an empty one.
        QTemporaryDir dir;
        const QString sheetBefore = QStringLiteral("QLabel { color: blue; }");
        qApp->setStyleSheet(sheetBefore);
        Settings settings;
        settings.load();
        DarkLook::install(settings, dir.path());
        QCOMPARE(qApp->styleSheet(), sheetBefore);
        QCOMPARE(QApplication::palette().color(QPalette::Window), QColor(53, 53, 53));
        qApp->setStyleSheet(QString());
    }
};

QTEST_MAIN(TestDarkLook)
#include "tst_darklook.moc"
