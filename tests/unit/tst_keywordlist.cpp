#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include "preview/keywordlist.h"
#include "settings/appdir.h"

class TestKeywordList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pathIsUnderTheApplicationDirectory();
    void lines_data();
    void lines();
    void missingFileIsNotRead();
    void encodings_data();
    void encodings();
    void localeEncodingWithoutMark();

private:
    QString writeFile(const QByteArray &bytes);
    QTemporaryDir *dir = nullptr;
};

void TestKeywordList::init()
{
    dir = new QTemporaryDir;
    QVERIFY(dir->isValid());
    AppDir::setOverride(dir->path());
}

void TestKeywordList::cleanup()
{
    AppDir::setOverride(QString());
    delete dir;
    dir = nullptr;
}

QString TestKeywordList::writeFile(const QByteArray &bytes)
{
    QDir(dir->path()).mkpath(QStringLiteral("list"));
    const QString path = KeywordList::pathFor(QString());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

void TestKeywordList::pathIsUnderTheApplicationDirectory()
{
    QCOMPARE(KeywordList::pathFor(QString()), dir->path() + QStringLiteral("/list/.lst"));
    QCOMPARE(KeywordList::pathFor(QStringLiteral("cpp")), dir->path() + QStringLiteral("/list/cpp.lst"));
}

void TestKeywordList::lines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("keywords");
    QTest::addColumn<int>("wordLimit");
    QTest::addColumn<QString>("comment");

    QTest::newRow("five-line example")
        << QByteArray("SingleLineComment=;.*$\nint\nreturn\n##NOTWORD##\n#[a-z]+\n")
        << QStringList { "int", "return", "#[a-z]+" } << 2 << ";.*$";
    QTest::newRow("empty file") << QByteArray() << QStringList() << 0 << QString();
    QTest::newRow("no marker: all whole words")
        << QByteArray("a\nb\nc") << QStringList { "a", "b", "c" } << 3 << QString();
    QTest::newRow("marker before the first keyword: all free")
        << QByteArray("##NOTWORD##\n#if\n#endif\n") << QStringList { "#if", "#endif" } << 0 << QString();
    QTest::newRow("last of two markers counts") << QByteArray("a\n##NOTWORD##\nb\n##NOTWORD##\nc\n")
                                                << QStringList { "a", "b", "c" } << 2 << QString();
    QTest::newRow("marker line holding the comment word")
        << QByteArray("a\n##NOTWORD## SingleLineComment=//\nb\n") << QStringList { "a", "b" } << 1
        << QString();
    QTest::newRow("comment and marker lines take no index")
        << QByteArray("a\nSingleLineComment=#\nb\n##NOTWORD##\nc") << QStringList { "a", "b", "c" } << 2
        << "#";
    QTest::newRow("blanks around the equals sign")
        << QByteArray("SingleLineComment   = //.*\n") << QStringList() << 0 << " //.*";
    QTest::newRow("text before the comment word stays")
        << QByteArray("x SingleLineComment=#.*") << QStringList() << 0 << "x #.*";
    QTest::newRow("comment line without equals sign kept whole")
        << QByteArray("SingleLineComment //") << QStringList() << 0 << "SingleLineComment //";
    QTest::newRow("last comment line counts")
        << QByteArray("SingleLineComment=#\nSingleLineComment=//\n") << QStringList() << 0 << "//";
    QTest::newRow("comment pattern empty after removal")
        << QByteArray("SingleLineComment=\nk") << QStringList { "k" } << 1 << QString();
    QTest::newRow("blanks kept in keywords")
        << QByteArray(" for \n\tif\n") << QStringList { " for ", "\tif" } << 2 << QString();
    QTest::newRow("empty lines are keyword lines")
        << QByteArray("a\n\nb\n\n") << QStringList { "a", "", "b", "" } << 4 << QString();
    QTest::newRow("CR LF line ends") << QByteArray("a\r\nb\r\n") << QStringList { "a", "b" } << 2
                                     << QString();
    QTest::newRow("a lone CR does not end a line")
        << QByteArray("a\rb\nc") << QStringList { "a\rb", "c" } << 2 << QString();
    QTest::newRow("marker text is case-sensitive")
        << QByteArray("a\n##notword##\nsinglelinecomment=#\n")
        << QStringList { "a", "##notword##", "singlelinecomment=#" } << 3 << QString();
}

void TestKeywordList::lines()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, keywords);
    QFETCH(int, wordLimit);
    QFETCH(QString, comment);

    const QString path = writeFile(content);
    QVERIFY(!path.isEmpty());
    KeywordList list;
    QVERIFY(list.read(path));
    QCOMPARE(list.keywordLines, keywords);
    QCOMPARE(list.wordLimit, wordLimit);
    QCOMPARE(list.commentPattern, comment);
}

void TestKeywordList::missingFileIsNotRead()
{
    KeywordList list;
    list.keywordLines << QStringLiteral("stale");
    list.wordLimit = 4;
    list.commentPattern = QStringLiteral("#");
    QVERIFY(!list.read(KeywordList::pathFor(QString())));
    QVERIFY(list.keywordLines.isEmpty());
    QCOMPARE(list.wordLimit, 0);
    QVERIFY(list.commentPattern.isEmpty());

    // A directory in the file's place cannot be read either.
    QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("list/.lst")));
    QVERIFY(!list.read(KeywordList::pathFor(QString())));
}

void TestKeywordList::encodings_data()
{
    QTest::addColumn<QByteArray>("codec");
    const QString text = QStringLiteral("SingleLineComment=＃.*\n関数\nreturn\n");
    QTest::addColumn<QByteArray>("bytes");
    for (const char *name : { "UTF-8", "UTF-16LE", "UTF-16BE", "UTF-32LE", "UTF-32BE" }) {
        QTextCodec *codec = QTextCodec::codecForName(name);
        QVERIFY(codec);
        // The encoder writes the byte order mark for U+FEFF at the start.
        QTest::newRow(name) << QByteArray(name) << codec->fromUnicode(QChar(0xFEFF) + text);
    }
}

void TestKeywordList::encodings()
{
    QFETCH(QByteArray, bytes);
    // The mark decides, whatever the locale says.
    QTextCodec *previous = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    const QString path = writeFile(bytes);
    KeywordList list;
    const bool read = list.read(path);
    QTextCodec::setCodecForLocale(previous);

    QVERIFY(read);
    QCOMPARE(list.keywordLines, (QStringList { QStringLiteral("関数"), QStringLiteral("return") }));
    QCOMPARE(list.commentPattern, QStringLiteral("＃.*"));
}

void TestKeywordList::localeEncodingWithoutMark()
{
    QTextCodec *shiftJis = QTextCodec::codecForName("Shift_JIS");
    if (!shiftJis)
        QSKIP("no Shift_JIS codec in this Qt");
    const QString path = writeFile(shiftJis->fromUnicode(QStringLiteral("関数\n戻る\n")));
    QTextCodec *previous = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(shiftJis);
    KeywordList list;
    const bool read = list.read(path);
    QTextCodec::setCodecForLocale(previous);

    QVERIFY(read);
    QCOMPARE(list.keywordLines, (QStringList { QStringLiteral("関数"), QStringLiteral("戻る") }));
}

QTEST_MAIN(TestKeywordList)
#include "tst_keywordlist.moc"
