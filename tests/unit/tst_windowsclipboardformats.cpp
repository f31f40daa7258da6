// How the Windows clipboard reader names what it finds: the expected names
// and image/colour answers are what Qt 5.15 on Windows showed for the same
// clipboard contents (measured under Wine; tst_win32clipboard compares the
// two live there). Then the snapshot path from raw data to the capture.
#include "platform/windowsclipboardformats.h"
#include "popup/historycapture.h"
#include "windowsclipboarddata.h"

#include <QtTest>

namespace {
using Format = WindowsClipboardFormats::Format;
using windowsdata::parseFormats;
using windowsdata::utf16;

QString wrapped(const char *name)
{
    return ClipboardSnapshot::windowsFormat(QLatin1String(name));
}

const QStringList markerNames { QStringLiteral("ExcludeClipboardContentFromMonitorProcessing"),
    QStringLiteral("Clipboard Viewer Ignore"), QStringLiteral("CanIncludeInClipboardHistory"),
    QStringLiteral("CanUploadToCloudClipboard") };
}  // namespace

class TestWindowsClipboardFormats : public QObject
{
    Q_OBJECT

private slots:
    void formatNames_data();
    void formatNames();
    void formatsToRead_data();
    void formatsToRead();
    void markerDataKeyedByQtName();
    void secretMarkers_data();
    void secretMarkers();
};

void TestWindowsClipboardFormats::formatNames_data()
{
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("image");
    QTest::addColumn<bool>("colour");

    const QString plain = QStringLiteral("text/plain");
    const QString qtImage = QStringLiteral("application/x-qt-image");
    QTest::newRow("unicode text") << "13 | 16 | 1 | 7" << QStringList { plain } << false << false;
    QTest::newRow("ansi text") << "1 | 16 | 7 | 13" << QStringList { plain } << false << false;
    QTest::newRow("oem text") << "7 | 16 | 1 | 13" << QStringList { plain } << false << false;
    QTest::newRow("html") << "13 | 49189:HTML Format | 16 | 1 | 7" << QStringList { plain, "text/html" }
                          << false << false;
    QTest::newRow("markers")
        << "13 | 49224:ExcludeClipboardContentFromMonitorProcessing | 49225:Clipboard Viewer Ignore | "
           "49226:CanIncludeInClipboardHistory | 49227:CanUploadToCloudClipboard | 16 | 1 | 7"
        << QStringList { plain, wrapped("ExcludeClipboardContentFromMonitorProcessing"),
               wrapped("Clipboard Viewer Ignore"), wrapped("CanIncludeInClipboardHistory"),
               wrapped("CanUploadToCloudClipboard") }
        << false << false;
    QTest::newRow("dib") << "13 | 8 | 16 | 1 | 7 | 2 | 17" << QStringList { plain, qtImage } << true << false;
    QTest::newRow("bitmap") << "13 | 2 | 16 | 1 | 7 | 8 | 17" << QStringList { plain, qtImage } << true
                            << false;
    QTest::newRow("dib v5 alone") << "17" << QStringList { qtImage } << true << false;
    QTest::newRow("registered PNG") << "13 | 49188:PNG | 16 | 1 | 7"
                                    << QStringList { plain, wrapped("PNG"), qtImage } << true << false;
    QTest::newRow("image/png") << "13 | 49217:image/png | 16 | 1 | 7"
                               << QStringList { plain, "image/png", qtImage } << true << false;
    // Qt without a JPEG reader lists it but calls it no image; an image it
    // is all the same, and it stays out of the history.
    QTest::newRow("image/jpeg") << "13 | 49228:image/jpeg | 16 | 1 | 7"
                                << QStringList { plain, "image/jpeg", qtImage } << true << false;
    QTest::newRow("colour") << "13 | 49215:application/x-color | 16 | 1 | 7"
                            << QStringList { plain, "application/x-color" } << false << true;
    QTest::newRow("custom")
        << "13 | 49229:text/foo | 49230:application/x-thing | 49231:My Custom Format | 49232:text/html | "
           "49233:text/plain | 49234:text/uri-list | 49216:application/x-qt-image | 16 | 1 | 7"
        << QStringList { plain, "text/foo", "application/x-thing", wrapped("My Custom Format") } << true
        << false;
    QTest::newRow("urls") << "13 | 49213:UniformResourceLocatorW | 49214:UniformResourceLocator | 16 | 1 | 7"
                          << QStringList { plain, "text/uri-list", wrapped("UniformResourceLocatorW") }
                          << false << false;
    QTest::newRow("metafile") << "13 | 14 | 16 | 1 | 7 | 3" << QStringList { plain } << false << false;
    QTest::newRow("file drop") << "15" << QStringList { "text/uri-list" } << false << false;
    QTest::newRow("empty") << "" << QStringList {} << false << false;
    // Only a registered format is a colour, whatever the number.
    QTest::newRow("unnamed high number") << "49300" << QStringList {} << false << false;
}

void TestWindowsClipboardFormats::formatNames()
{
    QFETCH(QString, offered);
    QFETCH(QStringList, expected);
    QFETCH(bool, image);
    QFETCH(bool, colour);
    const ClipboardSnapshot snapshot = WindowsClipboardFormats::snapshot(parseFormats(offered), {});
    QStringList names = snapshot.formats;
    QCOMPARE(names.removeDuplicates(), 0);
    names.sort();
    expected.sort();
    QCOMPARE(names, expected);
    QCOMPARE(snapshot.hasImage, image);
    QCOMPARE(snapshot.hasColor, colour);
}

void TestWindowsClipboardFormats::formatsToRead_data()
{
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QVector<quint32>>("expected");
    QTest::newRow("text and a marker")
        << "13 | 49225:Clipboard Viewer Ignore | 16 | 1 | 7" << QVector<quint32> { 49225, 13 };
    QTest::newRow("file copy") << "49300:Shell IDList Array | 15" << QVector<quint32> { 15 };
    // The text of an image or a colour is not even read; markers still are.
    QTest::newRow("image with text") << "13 | 8 | 49225:Clipboard Viewer Ignore"
                                     << QVector<quint32> { 49225 };
    QTest::newRow("colour with a file") << "15 | 49215:application/x-color" << QVector<quint32> {};
    QTest::newRow("html only") << "49189:HTML Format" << QVector<quint32> {};
}

void TestWindowsClipboardFormats::formatsToRead()
{
    QFETCH(QString, offered);
    QFETCH(QVector<quint32>, expected);
    QCOMPARE(WindowsClipboardFormats::formatsToRead(parseFormats(offered)), expected);
}

void TestWindowsClipboardFormats::markerDataKeyedByQtName()
{
    const QVector<Format> formats = parseFormats(
        "13 | 49226:CanIncludeInClipboardHistory | 49231:My Custom Format | 49225:Clipboard Viewer Ignore");
    QMap<quint32, QByteArray> data;
    data.insert(49226, QByteArray(4, '\0'));
    data.insert(49231, "not a marker");
    data.insert(49999, "not offered");
    const ClipboardSnapshot snapshot = WindowsClipboardFormats::snapshot(formats, data);
    QCOMPARE(snapshot.markerData.keys(), QStringList { wrapped("CanIncludeInClipboardHistory") });
    QCOMPARE(snapshot.data(wrapped("CanIncludeInClipboardHistory")), QByteArray(4, '\0'));
    QVERIFY(snapshot.hasFormat(wrapped("Clipboard Viewer Ignore")));
    QVERIFY(WindowsClipboardFormats::isMarker({ 49225, QStringLiteral("Clipboard Viewer Ignore") }));
    QVERIFY(!WindowsClipboardFormats::isMarker({ 49231, QStringLiteral("My Custom Format") }));
    // A predefined format never is one, whatever name is handed in.
    QVERIFY(!WindowsClipboardFormats::isMarker({ 13, QStringLiteral("Clipboard Viewer Ignore") }));
}

void TestWindowsClipboardFormats::secretMarkers_data()
{
    QTest::addColumn<QString>("marker");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("kept");
    for (const QString &name : markerNames) {
        QTest::addRow("%s", qPrintable(name)) << name << QByteArray(4, '\0') << false;
        QTest::addRow("%s, no data", qPrintable(name)) << name << QByteArray() << name.startsWith("Can");
    }
    QTest::newRow("CanIncludeInClipboardHistory = 1")
        << "CanIncludeInClipboardHistory" << QByteArray("\x01\x00\x00\x00", 4) << true;
    QTest::newRow("CanUploadToCloudClipboard = 1")
        << "CanUploadToCloudClipboard" << QByteArray("\x01\x00\x00\x00", 4) << true;
    QTest::newRow("no marker") << QString() << QByteArray() << true;
}

void TestWindowsClipboardFormats::secretMarkers()
{
    QFETCH(QString, marker);
    QFETCH(QByteArray, value);
    QFETCH(bool, kept);
    QVector<Format> formats = parseFormats("13 | 16 | 1 | 7");
    const QString secret = QStringLiteral("hunter2 の秘密");
    QMap<quint32, QByteArray> data { { 13, utf16(secret + QChar(0)) } };
    if (!marker.isEmpty()) {
        formats.insert(1, { 0xC123, marker });
        data.insert(0xC123, value);
    }
    const ClipboardSnapshot snapshot = WindowsClipboardFormats::snapshot(formats, data);
    QCOMPARE(snapshot.text, secret);
    QCOMPARE(HistoryCapture::isSecret(snapshot), !kept);
    QStringList history { QStringLiteral("older") };
    QCOMPARE(HistoryCapture::capture(history, snapshot, 500), kept);
    QCOMPARE(history.contains(secret), kept);
}

QTEST_MAIN(TestWindowsClipboardFormats)
#include "tst_windowsclipboardformats.moc"
