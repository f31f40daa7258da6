// The text the Windows clipboard reader makes of raw clipboard data. The
// expected texts are what Qt 5.15 on Windows gave for the same contents
// (measured under Wine; tst_win32clipboard compares the two live there).
#include "platform/windowsclipboardtext.h"
#include "windowsclipboarddata.h"

#include <QtTest>

namespace {
using windowsdata::fileDrop;
using windowsdata::parseFormats;
using windowsdata::utf16;
using Data = QMap<quint32, QByteArray>;

QByteArray utf16z(const QString &text)
{
    return utf16(text + QChar(0));
}
}  // namespace

class TestWindowsClipboardText : public QObject
{
    Q_OBJECT

private slots:
    void unicodeText_data();
    void unicodeText();
    void text_data();
    void text();
    void sources_data();
    void sources();
    void damagedFileDrop_data();
    void damagedFileDrop();
};

void TestWindowsClipboardText::unicodeText_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("expected");
    QTest::newRow("crlf") << utf16z("hello\r\nworld\r\n") << "hello\nworld\n";
    QTest::newRow("lone cr and lf kept") << utf16z("a\rb\nc") << "a\rb\nc";
    QTest::newRow("stops at nul") << utf16(QStringLiteral("abc") + QChar(0) + QStringLiteral("def"))
                                  << QStringLiteral("abc");
    QTest::newRow("no terminator") << utf16(QStringLiteral("plain")) << "plain";
    QTest::newRow("odd byte ignored") << utf16(QStringLiteral("ab")) + QByteArray(1, 'x') << "ab";
    QTest::newRow("japanese and surrogates")
        << utf16z(QStringLiteral("二番目 \U0001F600")) << QStringLiteral("二番目 \U0001F600");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("only nul") << QByteArray(2, '\0') << QString();
}

void TestWindowsClipboardText::unicodeText()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, expected);
    QCOMPARE(WindowsClipboardText::unicodeText(data), expected);
}

void TestWindowsClipboardText::text_data()
{
    QTest::addColumn<QString>("offered");
    QTest::addColumn<Data>("data");
    QTest::addColumn<QString>("expected");
    const QByteArray oneFile = fileDrop({ "C:\\f.txt" });
    QTest::newRow("one file") << "15" << Data { { 15, fileDrop({ "C:\\Users\\me\\report.txt" }) } }
                              << "file:///C:/Users/me/report.txt";
    QTest::newRow("several files")
        << "49300:Shell IDList Array | 15"
        << Data { { 15,
               fileDrop({ QStringLiteral("C:\\My Files\\naïve café.txt"),
                   QStringLiteral("C:\\日本語\\テスト 1.txt"), "\\\\server\\share\\x y.doc", "D:\\" }) } }
        << QStringLiteral("file:///C:/My Files/naïve café.txt\nfile:///C:/日本語/テスト "
                          "1.txt\nfile://server/share/x y.doc\n"
                          "file:///D:/\n");
    QTest::newRow("characters a URL encodes")
        << "15" << Data { { 15, fileDrop({ "C:\\a#b%20c&d[e]{f}^g`h~i;j=k+l,m@n!o'p.txt" }) } }
        << "file:///C:/a%23b%2520c&d[e]%7Bf%7D%5Eg%60h~i;j=k+l,m@n!o'p.txt";
    QTest::newRow("odd paths")
        << "15" << Data { { 15, fileDrop({ "\\\\?\\C:\\long", "rel\\x.txt", "C:/fwd/slash/", "C:", "x" }) } }
        << "file:////%3F/C:/long\nfile:rel/x.txt\nfile:///C:/fwd/slash/\nfile:///C:\nfile:x\n";
    QTest::newRow("ansi paths") << "15"
                                << Data { { 15, fileDrop({ "C:\\a b\\one.txt", "C:\\two.txt" }, false) } }
                                << "file:///C:/a b/one.txt\nfile:///C:/two.txt\n";
    QTest::newRow("no files") << "15" << Data { { 15, fileDrop({}) } } << "";
    QTest::newRow("file with text") << "15 | 13" << Data { { 15, oneFile }, { 13, utf16z("given") } }
                                    << "given";
    QTest::newRow("link") << "49213:UniformResourceLocatorW"
                          << Data { { 49213,
                                 utf16z(QStringLiteral("HTTP://Example.com/a b/ü?q=ü&r=%41#frag")) } }
                          << QStringLiteral("http://example.com/a b/ü?q=ü&r=A#frag");
    QTest::newRow("ansi link") << "49214:UniformResourceLocator"
                               << Data { { 49214, QByteArray("http://example.com/x y\0junk", 27) } }
                               << "http://example.com/x y";
    QTest::newRow("link mended") << "49213:UniformResourceLocatorW"
                                 << Data { { 49213, utf16z("www.example.com/a b%zz") } }
                                 << "www.example.com/a b%25zz";
    QTest::newRow("invalid link") << "49213:UniformResourceLocatorW"
                                  << Data { { 49213, utf16z("http://exa mple.com:99999/") } } << "";
    QTest::newRow("uri list") << "49290:text/uri-list"
                              << Data { { 49290, QByteArray("\r\n  http://a/%C3%BC  \n\n#c\nrel x\0", 32) } }
                              << QStringLiteral("http://a/ü\n#c\nrel x\n");
    QTest::newRow("uri list of one") << "49290:text/uri-list" << Data { { 49290, "http://one/" } }
                                     << "http://one/";
    // Registered plain text comes first and is taken as it is.
    QTest::newRow("utf-8 before plain") << "49291:text/plain;charset=utf-8 | 49292:text/plain"
                                        << Data { { 49291, "A8" }, { 49292, "Bp" } } << "A8";
    QTest::newRow("plain before a file")
        << "15 | 49292:text/plain" << Data { { 15, oneFile }, { 49292, "Bp" } } << "Bp";
    QTest::newRow("plain kept as it is")
        << "49292:text/plain" << Data { { 49292, QByteArray("a\r\nb\0", 5) } }
        << QStringLiteral("a\r\nb") + QChar(0);
    QTest::newRow("plain with bom") << "49292:text/plain"
                                    << Data { { 49292,
                                           "\xef\xbb\xbf"
                                           "bom" } }
                                    << "bom";
    QTest::newRow("plain not utf-8") << "49292:text/plain" << Data { { 49292, "\xff\xfe a \xc3" } }
                                     << QStringLiteral("\uFFFD\uFFFD a \uFFFD");
    QTest::newRow("empty plain is none")
        << "15 | 49292:text/plain" << Data { { 15, oneFile }, { 49292, QByteArray() } } << "file:///C:/f.txt";
    QTest::newRow("name in other case") << "49292:TEXT/Plain" << Data { { 49292, "case" } } << "case";
    QTest::newRow("utf-8 after unicode")
        << "49291:text/plain;charset=utf-8 | 13" << Data { { 49291, "u8" }, { 13, utf16z("uni") } } << "uni";
    // Of the addresses, only the first kind on offer counts.
    QTest::newRow("file before link")
        << "49213:UniformResourceLocatorW | 15" << Data { { 15, oneFile }, { 49213, utf16z("http://w/") } }
        << "file:///C:/f.txt";
    QTest::newRow("empty file drop hides link")
        << "15 | 49213:UniformResourceLocatorW"
        << Data { { 15, QByteArray() }, { 49213, utf16z("http://w/") } } << "";
    QTest::newRow("wide link before ansi")
        << "49214:UniformResourceLocator | 49213:UniformResourceLocatorW"
        << Data { { 49214, QByteArray("http://a/\0", 10) }, { 49213, utf16z("http://w/") } } << "http://w/";
    QTest::newRow("link before uri list")
        << "49214:UniformResourceLocator | 49290:text/uri-list"
        << Data { { 49214, QByteArray("http://a/\0", 10) }, { 49290, "http://l/" } } << "http://a/";
    QTest::newRow("html only") << "49189:HTML Format" << Data { { 49189, "Version:0.9" } } << "";
    QTest::newRow("other text types")
        << "49293:text/foo | 49294:text/html" << Data { { 49293, "foo" } } << "";
    // An unregistered number never has a name.
    QTest::newRow("predefined number") << "2" << Data { { 2, "text" } } << "";
}

void TestWindowsClipboardText::text()
{
    QFETCH(QString, offered);
    QFETCH(Data, data);
    QFETCH(QString, expected);
    QCOMPARE(WindowsClipboardText::text(parseFormats(offered), data), expected);
}

void TestWindowsClipboardText::sources_data()
{
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QVector<quint32>>("expected");
    QTest::newRow("unicode text alone counts") << "15 | 49292:text/plain | 13 | 1" << QVector<quint32> { 13 };
    QTest::newRow("in Qt's order")
        << "49213:UniformResourceLocatorW | 15 | 49292:text/plain | 49291:text/plain;charset=utf-8"
        << QVector<quint32> { 49291, 49292, 15 };
    QTest::newRow("first kind of address")
        << "49290:text/uri-list | 49214:UniformResourceLocator" << QVector<quint32> { 49214 };
    QTest::newRow("none") << "49189:HTML Format | 49293:text/foo" << QVector<quint32> {};
}

void TestWindowsClipboardText::sources()
{
    QFETCH(QString, offered);
    QFETCH(QVector<quint32>, expected);
    QCOMPARE(WindowsClipboardText::sources(parseFormats(offered)), expected);
}

void TestWindowsClipboardText::damagedFileDrop_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("expected");
    const QByteArray good = fileDrop({ "C:\\a", "C:\\b" });
    QTest::newRow("intact") << good << QStringList { "C:\\a", "C:\\b" };
    QTest::newRow("short header") << good.left(19) << QStringList {};
    QTest::newRow("paths beyond the end") << QByteArray(4, '\xff') + good.mid(4) << QStringList {};
    QTest::newRow("no final nul") << good.left(good.size() - 4) << QStringList { "C:\\a", "C:\\b" };
    QTest::newRow("cut inside a path") << good.left(good.size() - 7) << QStringList { "C:\\a", "C:" };
    QTest::newRow("header only") << good.left(20) << QStringList {};
}

void TestWindowsClipboardText::damagedFileDrop()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, expected);
    QCOMPARE(WindowsClipboardText::droppedFiles(data), expected);
}

QTEST_MAIN(TestWindowsClipboardText)
#include "tst_windowsclipboardtext.moc"
