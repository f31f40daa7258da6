// What the clipboard reader makes of an owner's TARGETS list: the format
// names handed to the capture, the image and colour checks, the marker
// formats it reads, and the text targets it asks for, best first.
#include "platform/x11clipboardtargets.h"

#include <QtTest>

class TestX11ClipboardTargets : public QObject
{
    Q_OBJECT

private slots:
    void reading_data();
    void reading();
    void imageAndColourNames_data();
    void imageAndColourNames();
};

void TestX11ClipboardTargets::reading_data()
{
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QStringList>("formats");
    QTest::addColumn<bool>("image");
    QTest::addColumn<bool>("colour");
    QTest::addColumn<QStringList>("markers");
    QTest::addColumn<QStringList>("text");

    const QStringList gtk { "TIMESTAMP", "TARGETS", "MULTIPLE", "SAVE_TARGETS", "UTF8_STRING",
        "COMPOUND_TEXT", "TEXT", "STRING", "text/plain;charset=utf-8", "text/plain" };
    QTest::newRow("a GTK text field's list") << gtk << true << gtk << false << false << QStringList()
                                             << QStringList { "UTF8_STRING", "text/plain;charset=utf-8",
                                                    "STRING", "TEXT", "COMPOUND_TEXT", "text/plain" };
    QTest::newRow("the owner's order does not set the preference")
        << QStringList { "STRING", "TEXT", "UTF8_STRING" } << true
        << QStringList { "STRING", "TEXT", "UTF8_STRING" } << false << false << QStringList()
        << QStringList { "UTF8_STRING", "STRING", "TEXT" };
    QTest::newRow("Latin-1 only") << QStringList { "TARGETS", "STRING" } << true
                                  << QStringList { "TARGETS", "STRING" } << false << false << QStringList()
                                  << QStringList { "STRING" };
    QTest::newRow("COMPOUND_TEXT only")
        << QStringList { "COMPOUND_TEXT" } << true << QStringList { "COMPOUND_TEXT" } << false << false
        << QStringList() << QStringList { "COMPOUND_TEXT" };
    QTest::newRow("MIME names in other cases keep their spelling")
        << QStringList { "text/plain;charset=UTF-8", "TEXT/PLAIN" } << true
        << QStringList { "text/plain;charset=UTF-8", "TEXT/PLAIN" } << false << false << QStringList()
        << QStringList { "text/plain;charset=UTF-8", "TEXT/PLAIN" };
    QTest::newRow("repeats and empty names dropped")
        << QStringList { "UTF8_STRING", "", "UTF8_STRING", "STRING", "STRING" } << true
        << QStringList { "UTF8_STRING", "STRING" } << false << false << QStringList()
        << QStringList { "UTF8_STRING", "STRING" };
    QTest::newRow("no text at all") << QStringList { "TARGETS", "application/x-foo" } << true
                                    << QStringList { "TARGETS", "application/x-foo" } << false << false
                                    << QStringList() << QStringList();
    QTest::newRow("an empty list offers nothing")
        << QStringList() << true << QStringList() << false << false << QStringList() << QStringList();
    QTest::newRow("no list: UTF-8, then Latin-1 is asked for")
        << QStringList() << false << QStringList() << false << false << QStringList()
        << QStringList { "UTF8_STRING", "STRING" };
    QTest::newRow("image beside text") << QStringList { "TARGETS", "image/png", "UTF8_STRING" } << true
                                       << QStringList { "TARGETS", "image/png", "UTF8_STRING" } << true
                                       << false << QStringList() << QStringList { "UTF8_STRING" };
    QTest::newRow("old X pixmap") << QStringList { "PIXMAP", "STRING" } << true
                                  << QStringList { "PIXMAP", "STRING" } << true << false << QStringList()
                                  << QStringList { "STRING" };
    QTest::newRow("colour beside text") << QStringList { "application/x-color", "UTF8_STRING" } << true
                                        << QStringList { "application/x-color", "UTF8_STRING" } << false
                                        << true << QStringList() << QStringList { "UTF8_STRING" };
    QTest::newRow("password manager's marker")
        << QStringList { "TARGETS", "x-kde-passwordManagerHint", "UTF8_STRING" } << true
        << QStringList { "TARGETS", "x-kde-passwordManagerHint", "UTF8_STRING" } << false << false
        << QStringList { "x-kde-passwordManagerHint" } << QStringList { "UTF8_STRING" };
    QTest::newRow("a Windows marker under its own name")
        << QStringList { "ExcludeClipboardContentFromMonitorProcessing", "UTF8_STRING" } << true
        << QStringList { "ExcludeClipboardContentFromMonitorProcessing", "UTF8_STRING" } << false << false
        << QStringList { "ExcludeClipboardContentFromMonitorProcessing" } << QStringList { "UTF8_STRING" };
    QTest::newRow("a name like a marker is none")
        << QStringList { "x-kde-passwordManagerHint2", "UTF8_STRING" } << true
        << QStringList { "x-kde-passwordManagerHint2", "UTF8_STRING" } << false << false << QStringList()
        << QStringList { "UTF8_STRING" };
}

void TestX11ClipboardTargets::reading()
{
    QFETCH(QStringList, offered);
    QFETCH(bool, listed);
    QFETCH(QStringList, formats);
    QFETCH(bool, image);
    QFETCH(bool, colour);
    QFETCH(QStringList, markers);
    QFETCH(QStringList, text);

    const X11ClipboardTargets targets(offered, listed);
    QCOMPARE(targets.formats(), formats);
    QCOMPARE(targets.hasImage(), image);
    QCOMPARE(targets.hasColor(), colour);
    QCOMPARE(targets.markers(), markers);
    QCOMPARE(targets.textTargets(), text);
}

void TestX11ClipboardTargets::imageAndColourNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("image");
    QTest::addColumn<bool>("colour");

    QTest::newRow("image/png") << "image/png" << true << false;
    QTest::newRow("image/jpeg") << "image/jpeg" << true << false;
    QTest::newRow("image/svg+xml") << "image/svg+xml" << true << false;
    QTest::newRow("IMAGE/BMP") << "IMAGE/BMP" << true << false;
    QTest::newRow("PIXMAP") << "PIXMAP" << true << false;
    QTest::newRow("BITMAP") << "BITMAP" << true << false;
    QTest::newRow("Qt's image") << "application/x-qt-image" << true << false;
    QTest::newRow("colour") << "application/x-color" << false << true;
    QTest::newRow("text") << "UTF8_STRING" << false << false;
    QTest::newRow("a name with image inside") << "text/x-image-url" << false << false;
    QTest::newRow("pixmap in lower case") << "pixmap" << false << false;
    QTest::newRow("colour's near miss") << "application/x-colour" << false << false;
}

void TestX11ClipboardTargets::imageAndColourNames()
{
    QFETCH(QString, name);
    QFETCH(bool, image);
    QFETCH(bool, colour);
    QCOMPARE(X11ClipboardTargets::isImage(name), image);
    QCOMPARE(X11ClipboardTargets::isColor(name), colour);
}

QTEST_GUILESS_MAIN(TestX11ClipboardTargets)
#include "tst_x11clipboardtargets.moc"
